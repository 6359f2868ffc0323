// Where a rectangle lock of host-side pixels starts, for surfaces and textures alike.
#pragma once

#include <cstddef>

#include "platform/d3d9.h"

namespace vantra::platform {

// The byte offset of rect's top-left pixel in an image of width x height pixels with the
// given pitch and pixel size; 0 for a null rect (the whole image). False when rect is empty
// or reaches outside the image.
inline bool LockOffset(const RECT* rect, UINT width, UINT height, INT pitch, UINT bytesPerPixel,
                       std::size_t* offset) {
  *offset = 0;
  if (rect == nullptr) return true;
  if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
      static_cast<UINT>(rect->right) > width || static_cast<UINT>(rect->bottom) > height)
    return false;
  *offset = static_cast<std::size_t>(rect->top) * pitch +
            static_cast<std::size_t>(rect->left) * bytesPerPixel;
  return true;
}

}  // namespace vantra::platform
