#include "platform/gl_state_cache.h"

void GlStateCache::reset() {
  _fixedStateVersion = 0;
  _program = 0;
  for (GLuint& name : _textures) name = 0;
  _layout.buffer = 0;
  _indexBuffer = 0;
}

void GlStateCache::noteDeletions(unsigned long deletions) {
  if (deletions == _deletionsSeen) return;
  _deletionsSeen = deletions;
  reset();
}

void GlStateCache::useProgram(GLuint program) {
  if (program == _program) return;
  glUseProgram(program);
  _program = program;
}

void GlStateCache::bindTexture(int unit, GLuint texture) {
  if (texture != 0 && texture == _textures[unit]) return;
  glActiveTexture(GL_TEXTURE0 + unit);
  glBindTexture(GL_TEXTURE_2D, texture);
  _textures[unit] = texture;
}

void GlStateCache::bindIndexBuffer(GLuint buffer) {
  if (buffer != 0 && buffer == _indexBuffer) return;
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
  _indexBuffer = buffer;
}

bool GlStateCache::vertexLayoutIs(GLuint buffer, UINT offset, UINT stride, DWORD fvf) const {
  return buffer != 0 && buffer == _layout.buffer && offset == _layout.offset &&
         stride == _layout.stride && fvf == _layout.fvf;
}

void GlStateCache::setVertexLayout(GLuint buffer, UINT offset, UINT stride, DWORD fvf) {
  _layout = VertexLayout{buffer, offset, stride, fvf};
}
