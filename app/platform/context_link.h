// The device's context as its resources see it: whether they may call OpenGL (only on the
// render thread that made the device, and only while the device, and with it the context,
// is still there) and the bindings last issued on it, which every bind goes through. Final
// releases elsewhere, such as at program exit after the render thread has ended, skip GL
// deletion; destroying the context frees those objects.
#pragma once

#include <epoxy/gl.h>

#include <atomic>
#include <thread>

#include "platform/gl_state_cache.h"

namespace vantra::platform {

class ContextLink {
 public:
  ContextLink() : _renderThread(std::this_thread::get_id()) {}

  bool usable() const { return _alive.load() && std::this_thread::get_id() == _renderThread; }
  void detach() { _alive = false; }

  // Render thread only.
  GlStateCache& bindings() { return _bindings; }

  // Render thread: whether the driver draws from buffers in the program's own memory.
  bool pinsMemory() {
    if (_pinsMemory < 0) _pinsMemory = epoxy_has_gl_extension("GL_AMD_pinned_memory") ? 1 : 0;
    return _pinsMemory == 1;
  }

 private:
  const std::thread::id _renderThread;
  std::atomic<bool> _alive{true};
  GlStateCache _bindings;
  int _pinsMemory = -1;
};

}  // namespace vantra::platform
