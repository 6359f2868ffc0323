// Vertex and index buffers: a host copy that Lock hands out (nested locks share it) and an
// OpenGL buffer that receives the data at the outermost Unlock, or at the next draw when
// the unlock happened on a thread without the context.
#pragma once

#include <epoxy/gl.h>

#include <memory>
#include <vector>

#include "platform/context_link.h"
#include "platform/d3d9.h"
#include "platform/gl_name.h"
#include "platform/ref_counted.h"

template <class Interface>
class Buffer : public RefCounted<Interface> {
 public:
  // `format` is the FVF code of a vertex buffer or the index format of an index buffer.
  Buffer(UINT length, DWORD usage, DWORD format, std::shared_ptr<ContextLink> context);

  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;

  UINT length() const { return static_cast<UINT>(_data.size()); }
  DWORD format() const { return _format; }
  // Render thread: the OpenGL buffer with the latest data.
  GLuint glBuffer();

 private:
  ~Buffer() override;
  void _upload();

  std::vector<BYTE> _data;
  const DWORD _usage;
  const DWORD _format;
  const std::shared_ptr<ContextLink> _context;
  GlBuffer _name;
  int _lockDepth = 0;
  bool _dirty = true;
};

using VertexBuffer = Buffer<IDirect3DVertexBuffer9>;
using IndexBuffer = Buffer<IDirect3DIndexBuffer9>;
