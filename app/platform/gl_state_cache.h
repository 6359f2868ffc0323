// What was last issued to OpenGL, so that draws with unchanged state issue only the draw.
// Zero means unknown: the next draw issues that binding again. Whoever calls OpenGL
// behind the cache's back (the font, a window toolkit's swap) resets it; so does the
// deletion of any name, since a deleted name may come back for a new object.
#pragma once

#include <epoxy/gl.h>

#include "platform/d3d9.h"
#include "platform/shader_key.h"

class GlStateCache {
 public:
  // Forgets every binding and the fixed-function state.
  void reset();
  // Resets when OpenGL names were deleted since the last call (`deletions` counts them).
  void noteDeletions(unsigned long deletions);

  // The fixed-function state (target, viewport, depth, cull, fill, blend, point size) as of
  // a version of the state block; 0 when it is unknown.
  unsigned long fixedStateVersion() const { return _fixedStateVersion; }
  void setFixedStateVersion(unsigned long version) { _fixedStateVersion = version; }
  void forgetFixedState() { _fixedStateVersion = 0; }

  void useProgram(GLuint program);
  void bindTexture(int unit, GLuint texture);
  void bindIndexBuffer(GLuint buffer);
  // Points the vertex attributes at a stream of vertices in the format `fvf`. The pointers
  // live in the device's vertex array, which nothing else binds to, so they stay valid until
  // the stream, its offset, stride or format change.
  void bindVertexLayout(GLuint buffer, UINT offset, UINT stride, DWORD fvf);

 private:
  struct VertexLayout {
    GLuint buffer;
    UINT offset, stride;
    DWORD fvf;
  };

  unsigned long _fixedStateVersion = 0;
  unsigned long _deletionsSeen = 0;
  GLuint _program = 0;
  GLuint _textures[ShaderKey::Stages] = {};
  GLuint _indexBuffer = 0;
  VertexLayout _layout = {};
};
