// An owning reference to a reference-counted device interface: it releases its reference when
// it is destroyed or replaced, takes one of its own when copied, and hands its reference on
// when moved.
#pragma once

#include <utility>

template <class Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { reset(); }

  // Takes over a reference that was counted for the caller, as a creation function returns it.
  static ComRef Adopt(Interface* held) {
    ComRef ref;
    ref._held = held;
    return ref;
  }

  ComRef(const ComRef& other) : _held(other._held) {
    if (_held != nullptr) _held->AddRef();
  }
  ComRef(ComRef&& other) noexcept : _held(std::exchange(other._held, nullptr)) {}
  ComRef& operator=(const ComRef& other) {
    retain(other._held);
    return *this;
  }
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      reset();
      _held = std::exchange(other._held, nullptr);
    }
    return *this;
  }

  // Holds next with a reference of its own. The new reference is taken before the old one is
  // dropped, so handing in the object already held is safe.
  void retain(Interface* next) {
    if (next != nullptr) next->AddRef();
    reset();
    _held = next;
  }

  // Releases the reference now.
  void reset() {
    if (_held != nullptr) std::exchange(_held, nullptr)->Release();
  }

  // For a creation function to write a new reference into: the one held is released first.
  Interface** out() {
    reset();
    return &_held;
  }

  Interface* get() const { return _held; }
  Interface* operator->() const { return _held; }
  explicit operator bool() const { return _held != nullptr; }

 private:
  Interface* _held = nullptr;
};
