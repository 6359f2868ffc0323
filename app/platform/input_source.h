// A polled keyboard and mouse: what the input devices read once per frame.
#pragma once

#include <cstdint>

// Relative mouse motion since the previous read, then four buttons (bit 7 set = down).
struct DIMOUSESTATE {
  std::int32_t lX;
  std::int32_t lY;
  std::int32_t lZ;
  std::uint8_t rgbButtons[4];
};
static_assert(sizeof(DIMOUSESTATE) == 16, "the mouse state is 16 bytes");

namespace vantra::platform {

class InputSource {
 public:
  virtual ~InputSource() = default;

  // Render thread: 256 key bytes indexed by DIK_ codes, bit 7 set = down.
  virtual void readKeyboard(std::uint8_t keys[256]) = 0;
  // Render thread: motion since the previous readMouse and the button bytes.
  virtual void readMouse(DIMOUSESTATE* state) = 0;
};

}  // namespace vantra::platform
