#pragma once

#include "vantra/basic_camera.h"
#include "vantra/bounding_box.h"
#include "vantra/bounding_sphere.h"
#include "vantra/frustum.h"
#include "vantra/intersection_codes.h"
#include "vantra/matrix.h"
#include "vantra/plane.h"
#include "vantra/quat.h"
#include "vantra/ray.h"
#include "vantra/vector.h"
