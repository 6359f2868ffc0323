#include "platform/event_input_source.h"

namespace vantra::platform {

namespace {

constexpr std::uint8_t kDown = 0x80;

}  // namespace

EventInputSource::EventInputSource() : _dx(0), _dy(0) {
  for (std::atomic<std::uint8_t>& key : _keys) key.store(0, std::memory_order_relaxed);
  for (std::atomic<std::uint8_t>& button : _buttons) button.store(0, std::memory_order_relaxed);
}

void EventInputSource::setKey(std::uint8_t code, bool down) {
  _keys[code].store(down ? kDown : 0, std::memory_order_relaxed);
}

void EventInputSource::addMotion(int dx, int dy) {
  _dx.fetch_add(dx, std::memory_order_relaxed);
  _dy.fetch_add(dy, std::memory_order_relaxed);
}

void EventInputSource::setButton(int index, bool down) {
  if (index < 0 || index > 3) return;
  _buttons[index].store(down ? kDown : 0, std::memory_order_relaxed);
}

void EventInputSource::releaseAll() {
  for (std::atomic<std::uint8_t>& key : _keys) key.store(0, std::memory_order_relaxed);
  for (std::atomic<std::uint8_t>& button : _buttons) button.store(0, std::memory_order_relaxed);
}

void EventInputSource::readKeyboard(std::uint8_t keys[256]) {
  for (int code = 0; code < 256; ++code) keys[code] = _keys[code].load(std::memory_order_relaxed);
}

void EventInputSource::readMouse(DIMOUSESTATE* state) {
  state->lX = _dx.exchange(0, std::memory_order_relaxed);
  state->lY = _dy.exchange(0, std::memory_order_relaxed);
  state->lZ = 0;
  for (int i = 0; i < 4; ++i) state->rgbButtons[i] = _buttons[i].load(std::memory_order_relaxed);
}

}  // namespace vantra::platform
