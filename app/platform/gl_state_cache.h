// What was last issued to OpenGL on the device's context, so that draws with unchanged state
// issue only the draw. Every binding the platform makes goes through here. Zero means
// unknown: the next bind of that slot is issued again. OpenGL unbinds a name it deletes and
// may hand the name out again for a new object, so deleting a name forgets that name
// wherever it is held, and only that name. A window toolkit's swap, which may leave any
// state behind, resets everything.
#pragma once

#include <epoxy/gl.h>

#include "platform/d3d9.h"
#include "platform/shader_key.h"

namespace vantra::platform {

class GlStateCache {
 public:
  // Forgets every binding and the fixed-function state.
  void reset();

  // The fixed-function state (target, viewport, depth, cull, fill, blend, point size) as of
  // a version of the state block; 0 when it is unknown.
  unsigned long fixedStateVersion() const { return _fixedStateVersion; }
  void setFixedStateVersion(unsigned long version) { _fixedStateVersion = version; }
  void forgetFixedState() { _fixedStateVersion = 0; }

  void useProgram(GLuint program);
  // The element buffer and the vertex layout belong to the vertex array: binding another
  // forgets them.
  void bindVertexArray(GLuint vertexArray);
  // The 2D texture that `unit` samples. The active unit changes only when a bind is issued.
  void bindTexture(int unit, GLuint texture);
  // Binds the texture on unit 0 and makes that unit active, for calls that change the
  // texture bound there (uploads, parameters).
  void bindTextureToChange(GLuint texture);
  void bindSampler(int unit, GLuint sampler);
  // GL_ARRAY_BUFFER, GL_COPY_READ_BUFFER or GL_COPY_WRITE_BUFFER.
  void bindBuffer(GLenum target, GLuint buffer);
  // The element buffer of the bound vertex array.
  void bindIndexBuffer(GLuint buffer);
  // GL_FRAMEBUFFER binds both the read and the draw framebuffer.
  void bindFramebuffer(GLenum target, GLuint framebuffer);
  void bindRenderbuffer(GLuint renderbuffer);
  // Points the vertex attributes of the bound vertex array at a stream of vertices in the
  // format `fvf`. The pointers stay valid until the stream, its offset, stride or format
  // change, or another vertex array is bound.
  void bindVertexLayout(GLuint buffer, UINT offset, UINT stride, DWORD fvf);

  // Called before the name is deleted.
  void forgetProgram(GLuint program);
  void forgetVertexArray(GLuint vertexArray);
  void forgetTexture(GLuint texture);
  void forgetSampler(GLuint sampler);
  void forgetBuffer(GLuint buffer);
  void forgetFramebuffer(GLuint framebuffer);
  void forgetRenderbuffer(GLuint renderbuffer);

 private:
  static constexpr int kTextureUnits = ShaderKey::kStages;
  // GL_ARRAY_BUFFER, GL_COPY_READ_BUFFER, GL_COPY_WRITE_BUFFER and the pinned memory target,
  // in that order.
  static constexpr int kBufferTargets = 4;

  struct VertexLayout {
    GLuint buffer;
    UINT offset, stride;
    DWORD fvf;
  };

  static int BufferSlot(GLenum target);
  void _activate(int unit);
  void _forgetVertexArrayState();

  unsigned long _fixedStateVersion = 0;
  GLuint _program = 0;
  GLuint _vertexArray = 0;
  int _activeUnit = -1;
  GLuint _textures[kTextureUnits] = {};
  GLuint _samplers[kTextureUnits] = {};
  GLuint _buffers[kBufferTargets] = {};
  GLuint _indexBuffer = 0;
  GLuint _readFramebuffer = 0;
  GLuint _drawFramebuffer = 0;
  GLuint _renderbuffer = 0;
  VertexLayout _layout = {};
};

}  // namespace vantra::platform
