// Tells device resources whether they may call OpenGL: only on the render thread that made
// the device, and only while the device (and with it the context) is still there. Final
// releases elsewhere, such as at program exit after the render thread has ended, skip GL
// deletion; destroying the context frees those objects.
#pragma once

#include <atomic>
#include <thread>

class ContextLink {
 public:
  ContextLink() : _renderThread(std::this_thread::get_id()) {}

  bool usable() const { return _alive.load() && std::this_thread::get_id() == _renderThread; }
  void detach() { _alive = false; }

  // Render thread: counts deleted OpenGL objects. A deleted name may come back for a new
  // object, so the device forgets the bindings it skips re-issuing when this changes.
  void noteDeletion() { ++_deletions; }
  unsigned long deletions() const { return _deletions; }

 private:
  const std::thread::id _renderThread;
  std::atomic<bool> _alive{true};
  unsigned long _deletions = 0;
};
