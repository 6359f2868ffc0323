// Vertex and index buffers. Lock hands out a host copy (nested locks share it); the outermost
// Unlock uploads it to an OpenGL buffer, or the next draw does when the unlock happened on a
// thread without the context. A static buffer then lets its host copy go, so that its data
// is held once, by OpenGL; locking it again reads the data back first. A dynamic buffer,
// rewritten often, keeps its copy. Where the driver draws from the program's own memory
// (GL_AMD_pinned_memory), the first writing lock of a static buffer on the render thread
// hands out memory that OpenGL then takes as the buffer's storage: no copy, and no second
// clearing of memory that any thread may fill before the unlock.
#pragma once

#include <epoxy/gl.h>

#include <memory>
#include <vector>

#include "platform/buffer_kinds.h"
#include "platform/context_link.h"
#include "platform/d3d9.h"
#include "platform/gl_name.h"
#include "platform/ref_counted.h"

namespace vantra::platform {

template <class Interface>
class Buffer : public RefCounted<Interface> {
 public:
  // `format` is the FVF code of a vertex buffer or the index format of an index buffer.
  Buffer(UINT length, DWORD usage, DWORD format, std::shared_ptr<ContextLink> context);

  // D3DERR_INVALIDCALL also when the data lives only in OpenGL and this thread cannot read
  // it back.
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;

  UINT length() const { return _length; }
  DWORD format() const { return _format; }
  // Whether the host copy exists (while locked, before the upload, for dynamic buffers, and
  // after a read-only lock, which keeps what it read back).
  bool holdsHostCopy() const { return !_data.empty(); }
  // Render thread: the OpenGL buffer with the latest data.
  GLuint glBuffer();

 private:
  ~Buffer() override;
  bool _readBack();
  // Render thread, unlocked: makes OpenGL's buffer hold the latest writes.
  void _finishWrites();
  void _allocatePinned();
  // Between the first lock and the pin at the unlock.
  bool _pinPending() const { return _pinned && !_name; }
  void _pin();
  void _upload();

  struct FreeMemory {
    void operator()(BYTE* memory) const;
  };

  const UINT _length;
  std::vector<BYTE> _data;
  // Storage OpenGL draws from in place; freed after the OpenGL buffer, which the destructor
  // deletes.
  std::unique_ptr<BYTE, FreeMemory> _pinned;
  const DWORD _usage;
  const DWORD _format;
  const std::shared_ptr<ContextLink> _context;
  GlBuffer _name;
  int _lockDepth = 0;
  bool _dirty = true;
};

}  // namespace vantra::platform
