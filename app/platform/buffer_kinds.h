// The two kinds of buffer, for headers that hold them without calling OpenGL.
#pragma once

#include "platform/d3d9.h"

namespace vantra::platform {

template <class Interface>
class Buffer;

using VertexBuffer = Buffer<IDirect3DVertexBuffer9>;
using IndexBuffer = Buffer<IDirect3DIndexBuffer9>;

}  // namespace vantra::platform
