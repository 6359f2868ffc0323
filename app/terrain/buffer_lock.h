// Scoped lock of a vertex or index buffer: locks from offset 0 over a byte count, hands out
// the data pointer and unlocks when it goes out of scope, also while an exception passes.
#pragma once

#include "platform/d3d9.h"

namespace vantra::terrain {

class BufferLock {
 public:
  // Throws the device's result code (std::int32_t) when Lock fails.
  BufferLock(IDirect3DVertexBuffer9* buffer, UINT bytes, DWORD flags);
  BufferLock(IDirect3DIndexBuffer9* buffer, UINT bytes, DWORD flags);
  ~BufferLock();

  BufferLock(const BufferLock&) = delete;
  BufferLock& operator=(const BufferLock&) = delete;

  void* data() const { return _data; }

 private:
  IDirect3DVertexBuffer9* _vertexBuffer = nullptr;
  IDirect3DIndexBuffer9* _indexBuffer = nullptr;
  void* _data = nullptr;
};

}  // namespace vantra::terrain
