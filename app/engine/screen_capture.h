// Writes what the device last presented to a bitmap file.
#pragma once

#include <string>

#include "platform/d3d9.h"

namespace vantra::engine {

// Copies the front buffer into a system-memory surface of the display mode's size and saves
// it as a BMP file (overwriting it). Returns the first failing call's code, or the save's;
// on failure *why, when given, says what went wrong.
HRESULT saveScreenCapture(IDirect3DDevice9* device, const char* fileName,
                          std::string* why = nullptr);

}  // namespace vantra::engine
