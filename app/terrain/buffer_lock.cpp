#include "terrain/buffer_lock.h"

namespace vantra::terrain {

BufferLock::BufferLock(IDirect3DVertexBuffer9* buffer, UINT bytes, DWORD flags) {
  const HRESULT hr = buffer->Lock(0, bytes, &_data, flags);
  if (FAILED(hr)) throw hr;
  _vertexBuffer = buffer;
}

BufferLock::BufferLock(IDirect3DIndexBuffer9* buffer, UINT bytes, DWORD flags) {
  const HRESULT hr = buffer->Lock(0, bytes, &_data, flags);
  if (FAILED(hr)) throw hr;
  _indexBuffer = buffer;
}

BufferLock::~BufferLock() {
  if (_vertexBuffer != nullptr) _vertexBuffer->Unlock();
  if (_indexBuffer != nullptr) _indexBuffer->Unlock();
}

}  // namespace vantra::terrain
