#include "platform/gl_state_cache.h"

#include <cstdint>

#include "platform/device_state.h"

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

void GlStateCache::bindVertexLayout(GLuint vertexBuffer, UINT offset, UINT stride, DWORD fvf) {
  if (vertexBuffer != 0 && vertexBuffer == _layout.buffer && offset == _layout.offset &&
      stride == _layout.stride && fvf == _layout.fvf)
    return;
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
  auto attribute = [&](GLuint location, GLint size, GLenum type, GLboolean normalised, UINT at) {
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, size, type, normalised, static_cast<GLsizei>(stride),
                          reinterpret_cast<const void*>(static_cast<std::uintptr_t>(offset + at)));
  };
  UINT at = 0;
  attribute(0, 3, GL_FLOAT, GL_FALSE, at);
  at += 12;
  if (fvf & D3DFVF_NORMAL) {
    attribute(1, 3, GL_FLOAT, GL_FALSE, at);
    at += 12;
  } else {
    glDisableVertexAttribArray(1);
  }
  if (fvf & D3DFVF_DIFFUSE) {
    // 0xAARRGGBB words are B, G, R, A in memory.
    attribute(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, at);
    at += 4;
  } else {
    glDisableVertexAttribArray(2);
  }
  const UINT sets = DeviceState::TexCoordCount(fvf);
  for (UINT set = 0; set < DeviceState::TexCoordSetCount; ++set) {
    if (set < sets) {
      attribute(3 + set, 2, GL_FLOAT, GL_FALSE, at);
      at += 8;
    } else {
      glDisableVertexAttribArray(3 + set);
    }
  }
  _layout = VertexLayout{vertexBuffer, offset, stride, fvf};
}
