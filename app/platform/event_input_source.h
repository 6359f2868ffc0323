// Keyboard and mouse state fed by a window's events.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/input_source.h"

namespace vantra::platform {

// The GUI thread writes key, button and motion events as they arrive; the render thread
// reads them at each poll. Every field is atomic, so the two threads need no lock. Motion
// accumulates between reads and each read consumes it; a key or button pressed and released
// between two reads reads as down at the next one, so that a tap shorter than a frame
// still counts.
class EventInputSource : public InputSource {
 public:
  EventInputSource();

  // GUI thread.
  void setKey(std::uint8_t code, bool down);
  void addMotion(int dx, int dy);
  void setButton(int index, bool down);
  // Every key and button up, as when the window loses the keyboard focus; presses not yet
  // read are dropped too.
  void releaseAll();

  // Render thread.
  void readKeyboard(std::uint8_t keys[256]) override;
  void readMouse(DIMOUSESTATE* state) override;

 private:
  std::atomic<std::uint8_t> _keys[256];
  std::atomic<std::uint8_t> _buttons[4];
  std::atomic<std::int32_t> _dx;
  std::atomic<std::int32_t> _dy;
};

}  // namespace vantra::platform
