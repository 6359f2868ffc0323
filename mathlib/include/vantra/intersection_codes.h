#pragma once

#include "vantra/export.h"

namespace vantra {

// Results of the bounding-volume tests, returned as int.
struct VANTRA_API IntersectionCodes {
  static constexpr int INSIDE = -1;
  static constexpr int INTERSECTING = 0;
  static constexpr int OUTSIDE = 1;

  IntersectionCodes& operator=(const IntersectionCodes&) = default;
};

}  // namespace vantra
