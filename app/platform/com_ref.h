// An owning reference to a reference-counted device object: it releases its reference when
// it is destroyed or replaced, takes one of its own when copied, and hands its reference on
// when moved. Whatever holds a device object holds it through one of these, so no count is
// kept by hand and no reference leaks on an early return.
#pragma once

#include <utility>

#include "platform/d3d9.h"

namespace vantra::platform {

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

  // Takes a reference of its own to an object that someone else holds.
  static ComRef Retain(Interface* held) {
    ComRef ref;
    ref.retain(held);
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

  // Releases the reference now and returns the references the object has left: 0 once it
  // was freed, or when nothing was held.
  ULONG reset() { return _held != nullptr ? std::exchange(_held, nullptr)->Release() : 0; }

  // Hands the reference on to the caller, as a creation function's out-parameter returns
  // it, and holds nothing.
  [[nodiscard]] Interface* detach() { return std::exchange(_held, nullptr); }

  // For a creation function to write a new reference into: the one held is released first.
  Interface** out() {
    reset();
    return &_held;
  }

  // The references the object has, found by taking one more and dropping it again; 0 when
  // nothing is held. Lets tests see who holds an object.
  ULONG references() const {
    if (_held == nullptr) return 0;
    _held->AddRef();
    return _held->Release();
  }

  Interface* get() const { return _held; }
  Interface* operator->() const { return _held; }
  explicit operator bool() const { return _held != nullptr; }

 private:
  Interface* _held = nullptr;
};

}  // namespace vantra::platform
