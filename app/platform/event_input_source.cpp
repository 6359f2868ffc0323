#include "platform/event_input_source.h"

namespace vantra::platform {

namespace {

constexpr std::uint8_t kDown = 0x80;
// Set with kDown, cleared only by a read.
constexpr std::uint8_t kPressedSinceRead = 0x01;

// Takes one key's or button's byte as a poll sees it, consuming a press made since the last.
std::uint8_t Read(std::atomic<std::uint8_t>& state) {
  return state.fetch_and(kDown, std::memory_order_relaxed) != 0 ? kDown : 0;
}

void Set(std::atomic<std::uint8_t>& state, bool down) {
  if (down)
    state.fetch_or(kDown | kPressedSinceRead, std::memory_order_relaxed);
  else
    state.fetch_and(static_cast<std::uint8_t>(~kDown), std::memory_order_relaxed);
}

}  // namespace

EventInputSource::EventInputSource() : _dx(0), _dy(0) {
  for (std::atomic<std::uint8_t>& key : _keys) key.store(0, std::memory_order_relaxed);
  for (std::atomic<std::uint8_t>& button : _buttons) button.store(0, std::memory_order_relaxed);
}

void EventInputSource::setKey(std::uint8_t code, bool down) { Set(_keys[code], down); }

void EventInputSource::addMotion(int dx, int dy) {
  _dx.fetch_add(dx, std::memory_order_relaxed);
  _dy.fetch_add(dy, std::memory_order_relaxed);
}

void EventInputSource::setButton(int index, bool down) {
  if (index < 0 || index > 3) return;
  Set(_buttons[index], down);
}

void EventInputSource::releaseAll() {
  for (std::atomic<std::uint8_t>& key : _keys) key.store(0, std::memory_order_relaxed);
  for (std::atomic<std::uint8_t>& button : _buttons) button.store(0, std::memory_order_relaxed);
}

void EventInputSource::readKeyboard(std::uint8_t keys[256]) {
  for (int code = 0; code < 256; ++code) keys[code] = Read(_keys[code]);
}

void EventInputSource::readMouse(DIMOUSESTATE* state) {
  state->lX = _dx.exchange(0, std::memory_order_relaxed);
  state->lY = _dy.exchange(0, std::memory_order_relaxed);
  state->lZ = 0;
  for (int i = 0; i < 4; ++i) state->rgbButtons[i] = Read(_buttons[i]);
}

}  // namespace vantra::platform
