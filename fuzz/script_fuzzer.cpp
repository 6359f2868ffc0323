// Feeds arbitrary text to the input script parser and plays what it accepts.
#include <cstdint>
#include <string>

#include "platform/scripted_input_source.h"

using vantra::platform::ScriptedInputSource;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ScriptedInputSource source;
  std::string error;
  if (!source.parse(std::string(reinterpret_cast<const char*>(data), size), &error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  // Frames may be numbered far apart: play a bounded number of them.
  std::uint8_t keys[256];
  DIMOUSESTATE mouse{};
  for (int frame = 0; frame < 64; ++frame) {
    source.readKeyboard(keys);
    source.readMouse(&mouse);
  }
  return 0;
}
