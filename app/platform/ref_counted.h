// The reference counting every device object shares: created with one reference, deleted
// at its last Release. The count is atomic because a resource may be released on another
// thread than the one that made it (the engine frees its scene after the render thread ended).
#pragma once

#include <atomic>

#include "platform/d3d9.h"

namespace vantra::platform {

template <class Interface>
class RefCounted : public Interface {
 public:
  ULONG AddRef() override { return ++_references; }

  ULONG Release() override {
    const ULONG left = --_references;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> _references{1};
};

}  // namespace vantra::platform
