#include "platform/gl_state_cache.h"

#include <cstdint>

#include "platform/device_state.h"

namespace vantra::platform {

namespace {

// Zero where `slot` holds `name`.
void Forget(GLuint& slot, GLuint name) {
  if (slot == name) slot = 0;
}

}  // namespace

void GlStateCache::reset() { *this = GlStateCache(); }

void GlStateCache::useProgram(GLuint program) {
  if (program != 0 && program == _program) return;
  glUseProgram(program);
  _program = program;
}

void GlStateCache::bindVertexArray(GLuint vertexArray) {
  if (vertexArray != 0 && vertexArray == _vertexArray) return;
  glBindVertexArray(vertexArray);
  _vertexArray = vertexArray;
  _forgetVertexArrayState();
}

void GlStateCache::bindTexture(int unit, GLuint texture) {
  if (texture != 0 && texture == _textures[unit]) return;
  _activate(unit);
  glBindTexture(GL_TEXTURE_2D, texture);
  _textures[unit] = texture;
}

void GlStateCache::bindTextureToChange(GLuint texture) {
  _activate(0);
  bindTexture(0, texture);
}

void GlStateCache::_activate(int unit) {
  if (unit == _activeUnit) return;
  glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
  _activeUnit = unit;
}

void GlStateCache::bindSampler(int unit, GLuint sampler) {
  if (sampler != 0 && sampler == _samplers[unit]) return;
  glBindSampler(static_cast<GLuint>(unit), sampler);
  _samplers[unit] = sampler;
}

int GlStateCache::BufferSlot(GLenum target) {
  switch (target) {
    case GL_ARRAY_BUFFER:
      return 0;
    case GL_COPY_READ_BUFFER:
      return 1;
    case GL_EXTERNAL_VIRTUAL_MEMORY_BUFFER_AMD:
      return 3;
    default:
      return 2;
  }
}

void GlStateCache::bindBuffer(GLenum target, GLuint buffer) {
  GLuint& bound = _buffers[BufferSlot(target)];
  if (buffer != 0 && buffer == bound) return;
  glBindBuffer(target, buffer);
  bound = buffer;
}

void GlStateCache::bindIndexBuffer(GLuint buffer) {
  if (buffer != 0 && buffer == _indexBuffer) return;
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
  _indexBuffer = buffer;
}

void GlStateCache::bindFramebuffer(GLenum target, GLuint framebuffer) {
  const bool read = target != GL_DRAW_FRAMEBUFFER, draw = target != GL_READ_FRAMEBUFFER;
  if (framebuffer != 0 && (!read || framebuffer == _readFramebuffer) &&
      (!draw || framebuffer == _drawFramebuffer))
    return;
  glBindFramebuffer(target, framebuffer);
  if (read) _readFramebuffer = framebuffer;
  if (draw) _drawFramebuffer = framebuffer;
}

void GlStateCache::bindRenderbuffer(GLuint renderbuffer) {
  if (renderbuffer != 0 && renderbuffer == _renderbuffer) return;
  glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
  _renderbuffer = renderbuffer;
}

void GlStateCache::bindVertexLayout(GLuint vertexBuffer, UINT offset, UINT stride, DWORD fvf) {
  if (vertexBuffer != 0 && vertexBuffer == _layout.buffer && offset == _layout.offset &&
      stride == _layout.stride && fvf == _layout.fvf)
    return;
  bindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
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
  for (UINT set = 0; set < DeviceState::kTexCoordSetCount; ++set) {
    if (set < sets) {
      attribute(3 + set, 2, GL_FLOAT, GL_FALSE, at);
      at += 8;
    } else {
      glDisableVertexAttribArray(3 + set);
    }
  }
  _layout = VertexLayout{vertexBuffer, offset, stride, fvf};
}

void GlStateCache::forgetProgram(GLuint program) { Forget(_program, program); }

void GlStateCache::forgetVertexArray(GLuint vertexArray) {
  if (vertexArray != _vertexArray) return;
  _vertexArray = 0;
  _forgetVertexArrayState();
}

void GlStateCache::forgetTexture(GLuint texture) {
  for (GLuint& bound : _textures) Forget(bound, texture);
}

void GlStateCache::forgetSampler(GLuint sampler) {
  for (GLuint& bound : _samplers) Forget(bound, sampler);
}

void GlStateCache::forgetBuffer(GLuint buffer) {
  for (GLuint& bound : _buffers) Forget(bound, buffer);
  Forget(_indexBuffer, buffer);
  Forget(_layout.buffer, buffer);
}

void GlStateCache::forgetFramebuffer(GLuint framebuffer) {
  Forget(_readFramebuffer, framebuffer);
  Forget(_drawFramebuffer, framebuffer);
}

void GlStateCache::forgetRenderbuffer(GLuint renderbuffer) { Forget(_renderbuffer, renderbuffer); }

void GlStateCache::_forgetVertexArrayState() {
  _indexBuffer = 0;
  _layout.buffer = 0;
}

}  // namespace vantra::platform
