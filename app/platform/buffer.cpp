#include "platform/buffer.h"

namespace vantra::platform {

template <class Interface>
Buffer<Interface>::Buffer(UINT length, DWORD usage, DWORD format,
                          std::shared_ptr<ContextLink> context)
    : _length(length),
      _data(length, 0),
      _usage(usage),
      _format(format),
      _context(std::move(context)) {}

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
  if (_data.empty() && !_readBack()) return D3DERR_INVALIDCALL;
  ++_lockDepth;
  if ((Flags & D3DLOCK_READONLY) == 0) _dirty = true;
  *ppbData = _data.data() + OffsetToLock;
  return D3D_OK;
}

template <class Interface>
HRESULT Buffer<Interface>::Unlock() {
  if (_lockDepth == 0) return D3DERR_INVALIDCALL;
  if (--_lockDepth == 0 && _dirty && _context->usable()) _upload();
  return D3D_OK;
}

template <class Interface>
GLuint Buffer<Interface>::glBuffer() {
  if (_dirty && _lockDepth == 0) _upload();
  return _name.get();
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
