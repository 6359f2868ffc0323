#include "engine/input_devices.h"

#include <cstring>

namespace vantra::engine {

InputDevices::InputDevices() = default;

InputDevices::~InputDevices() { release(); }

HRESULT InputDevices::create(platform::InputSource* source) {
  if (source == nullptr) return E_INVALIDARG;
  _keyboard = source;
  _mouse = source;
  return S_OK;
}

HRESULT InputDevices::setKeyboardAcquired(bool on) {
  _keyboardAcquired.store(on);
  return S_OK;
}

HRESULT InputDevices::setMouseAcquired(bool on) {
  _mouseAcquired.store(on);
  return S_OK;
}

HRESULT InputDevices::pollKeyboard() {
  if (_keyboard != nullptr) _keyboard->readKeyboard(_keyState);
  if (_keyboard == nullptr || !_keyboardAcquired.load())
    std::memset(_keyState, 0, sizeof(_keyState));
  return S_OK;
}

HRESULT InputDevices::pollMouse() {
  if (_mouse != nullptr) _mouse->readMouse(&_mouseState);
  if (_mouse == nullptr || !_mouseAcquired.load())
    std::memset(&_mouseState, 0, sizeof(_mouseState));
  return S_OK;
}

void InputDevices::release() {
  _mouse = nullptr;
  _keyboard = nullptr;
}

}  // namespace vantra::engine
