#include "platform/buffer.h"

#include "platform/pinned_arena.h"

namespace vantra::platform {

template <class Interface>
Buffer<Interface>::Buffer(UINT length, DWORD usage, DWORD format,
                          std::shared_ptr<ContextLink> context)
    : _length(length), _usage(usage), _format(format), _context(std::move(context)) {}

template <class Interface>
void Buffer<Interface>::FreeMemory::operator()(BYTE* memory) const {
  PinnedArena::Shared().free(memory);
}

template <class Interface>
Buffer<Interface>::~Buffer() {
  _name.dispose(*_context);
}

template <class Interface>
HRESULT Buffer<Interface>::Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) {
  if (ppbData == nullptr) return D3DERR_INVALIDCALL;
  *ppbData = nullptr;
  const std::uint64_t end = static_cast<std::uint64_t>(OffsetToLock) + SizeToLock;
  if (OffsetToLock > _length || end > _length) return D3DERR_INVALIDCALL;
  const bool writes = (Flags & D3DLOCK_READONLY) == 0;
  if (_lockDepth == 0 && !_pinPending() && _data.empty()) {
    if (!_name && writes && _length > 0 && (_usage & D3DUSAGE_DYNAMIC) == 0 && _context->usable() &&
        _context->pinsMemory())
      _allocatePinned();
    else if (!_name)
      _data.assign(_length, 0);
    else if (!_readBack())
      return D3DERR_INVALIDCALL;
  }
  ++_lockDepth;
  if (writes) _dirty = true;
  *ppbData = (_pinPending() ? _pinned.get() : _data.data()) + OffsetToLock;
  return D3D_OK;
}

template <class Interface>
HRESULT Buffer<Interface>::Unlock() {
  if (_lockDepth == 0) return D3DERR_INVALIDCALL;
  if (--_lockDepth == 0 && _context->usable()) _finishWrites();
  return D3D_OK;
}

template <class Interface>
GLuint Buffer<Interface>::glBuffer() {
  if (_lockDepth == 0) _finishWrites();
  return _name.get();
}

template <class Interface>
void Buffer<Interface>::_finishWrites() {
  if (_pinPending())
    _pin();
  else if (_dirty)
    _upload();
}

template <class Interface>
void Buffer<Interface>::_allocatePinned() {
  // Fresh pages are first touched by whoever fills them, on any thread.
  _pinned.reset(PinnedArena::Shared().allocate(_length));
  if (!_pinned) _data.assign(_length, 0);
}

template <class Interface>
void Buffer<Interface>::_pin() {
  _name = GlBuffer::Generate();
  while (glGetError() != GL_NO_ERROR) {
  }
  _context->bindings().bindBuffer(GL_EXTERNAL_VIRTUAL_MEMORY_BUFFER_AMD, _name.get());
  glBufferData(GL_EXTERNAL_VIRTUAL_MEMORY_BUFFER_AMD, static_cast<GLsizeiptr>(_length),
               _pinned.get(), GL_STATIC_DRAW);
  _dirty = false;
  if (glGetError() == GL_NO_ERROR) return;
  // The driver would not draw from this memory: it gets a copy of its own.
  _context->bindings().bindBuffer(GL_COPY_WRITE_BUFFER, _name.get());
  glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(_length), _pinned.get(),
               GL_STATIC_DRAW);
  _pinned.reset();
}

template <class Interface>
bool Buffer<Interface>::_readBack() {
  if (!_context->usable()) return false;
  _data.resize(_length);
  _context->bindings().bindBuffer(GL_COPY_READ_BUFFER, _name.get());
  glGetBufferSubData(GL_COPY_READ_BUFFER, 0, static_cast<GLsizeiptr>(_length), _data.data());
  return true;
}

template <class Interface>
void Buffer<Interface>::_upload() {
  // A buffer drawn before any lock holds zeros.
  if (_data.empty()) _data.assign(_length, 0);
  if (!_name) _name = GlBuffer::Generate();
  // The copy target leaves the vertex array's element binding alone.
  _context->bindings().bindBuffer(GL_COPY_WRITE_BUFFER, _name.get());
  const bool dynamic = (_usage & D3DUSAGE_DYNAMIC) != 0;
  glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(_length), _data.data(),
               dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
  _dirty = false;
  if (!dynamic) {
    _data.clear();
    _data.shrink_to_fit();
  }
}

template class Buffer<IDirect3DVertexBuffer9>;
template class Buffer<IDirect3DIndexBuffer9>;

}  // namespace vantra::platform
