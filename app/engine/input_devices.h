// The keyboard and mouse, polled once per frame.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/d3d9.h"
#include "platform/input_source.h"

namespace vantra::engine {

// Wraps a polled input source as a keyboard and a mouse that are acquired and unacquired
// separately. A device that is not acquired reads as idle: every key up, no motion, no
// button down. Polls and reads belong to the render thread; acquiring and unacquiring may
// also come from the GUI thread (focus changes), so the acquired flags are atomic.
class InputDevices {
 public:
  InputDevices();
  ~InputDevices();

  InputDevices(const InputDevices&) = delete;
  InputDevices& operator=(const InputDevices&) = delete;

  // Attaches both devices to the source (a window's keyboard and mouse).
  HRESULT create(platform::InputSource* source);
  // Acquires (true) or unacquires the device; a request for the state it already has does
  // nothing.
  HRESULT setKeyboardAcquired(bool on);
  HRESULT setMouseAcquired(bool on);
  bool isKeyboardAcquired() const { return _keyboardAcquired.load(); }
  bool isMouseAcquired() const { return _mouseAcquired.load(); }

  // Read the source once. The source is read also while unacquired, so that motion made and
  // frames played meanwhile are dropped rather than delivered late; the stored state is then
  // cleared instead.
  HRESULT pollKeyboard();
  HRESULT pollMouse();

  int isKeyDown(int code) const { return (_keyState[code & 0xFF] & 0x80) ? 1 : 0; }
  std::int32_t mouseDeltaX() const { return _mouseState.lX; }
  std::int32_t mouseDeltaY() const { return _mouseState.lY; }
  int isMouseButtonDown(int index) const {
    return (_mouseState.rgbButtons[index & 3] & 0x80) ? 1 : 0;
  }

  // Detaches the devices from the source; polls then read idle.
  void release();

 private:
  platform::InputSource* _keyboard = nullptr;
  platform::InputSource* _mouse = nullptr;
  std::atomic<bool> _keyboardAcquired{false};
  std::atomic<bool> _mouseAcquired{false};
  std::uint8_t _keyState[256] = {};
  DIMOUSESTATE _mouseState = {};
};

}  // namespace vantra::engine
