// A move-only owner of one OpenGL object name: it deletes the object when it goes, moves
// but never copies, so a name has exactly one owner. Owners must go on the render thread
// while the context is current; away from it, `release` or `dispose` give the name up
// without a GL call (destroying the context frees the object).
#pragma once

#include <epoxy/gl.h>

#include <utility>

#include "platform/context_link.h"

namespace vantra::platform {

template <class Kind>
class GlName {
 public:
  GlName() = default;
  // Takes over a name made elsewhere (0 for none).
  explicit GlName(GLuint name) : _name(name) {}
  ~GlName() { reset(); }
  GlName(GlName&& other) noexcept : _name(other.release()) {}
  GlName& operator=(GlName&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  GlName(const GlName&) = delete;
  GlName& operator=(const GlName&) = delete;

  // Render thread: a new object of this kind.
  static GlName Generate() { return GlName(Kind::Generate()); }

  GLuint get() const { return _name; }
  explicit operator bool() const { return _name != 0; }
  // Deletes the object held, if any, and holds `name` instead.
  void reset(GLuint name = 0) {
    if (_name != 0) Kind::Delete(_name);
    _name = name;
  }
  GLuint release() { return std::exchange(_name, 0); }
  // For an object that may go while the device lives, or on another thread: where
  // `context` is usable, forgets the name's bindings and deletes the object; elsewhere
  // gives the name up. Owners that live as long as the device are simply destroyed.
  void dispose(ContextLink& context) {
    if (_name == 0) return;
    if (!context.usable()) {
      release();
      return;
    }
    Kind::Forget(context.bindings(), _name);
    reset();
  }

 private:
  GLuint _name = 0;
};

struct GlBufferKind {
  static GLuint Generate() {
    GLuint name = 0;
    glGenBuffers(1, &name);
    return name;
  }
  static void Delete(GLuint name) { glDeleteBuffers(1, &name); }
  static void Forget(GlStateCache& bindings, GLuint name) { bindings.forgetBuffer(name); }
};

struct GlTextureKind {
  static GLuint Generate() {
    GLuint name = 0;
    glGenTextures(1, &name);
    return name;
  }
  static void Delete(GLuint name) { glDeleteTextures(1, &name); }
  static void Forget(GlStateCache& bindings, GLuint name) { bindings.forgetTexture(name); }
};

struct GlSamplerKind {
  static GLuint Generate() {
    GLuint name = 0;
    glGenSamplers(1, &name);
    return name;
  }
  static void Delete(GLuint name) { glDeleteSamplers(1, &name); }
  static void Forget(GlStateCache& bindings, GLuint name) { bindings.forgetSampler(name); }
};

struct GlFramebufferKind {
  static GLuint Generate() {
    GLuint name = 0;
    glGenFramebuffers(1, &name);
    return name;
  }
  static void Delete(GLuint name) { glDeleteFramebuffers(1, &name); }
  static void Forget(GlStateCache& bindings, GLuint name) { bindings.forgetFramebuffer(name); }
};

struct GlRenderbufferKind {
  static GLuint Generate() {
    GLuint name = 0;
    glGenRenderbuffers(1, &name);
    return name;
  }
  static void Delete(GLuint name) { glDeleteRenderbuffers(1, &name); }
  static void Forget(GlStateCache& bindings, GLuint name) { bindings.forgetRenderbuffer(name); }
};

struct GlVertexArrayKind {
  static GLuint Generate() {
    GLuint name = 0;
    glGenVertexArrays(1, &name);
    return name;
  }
  static void Delete(GLuint name) { glDeleteVertexArrays(1, &name); }
  static void Forget(GlStateCache& bindings, GLuint name) { bindings.forgetVertexArray(name); }
};

struct GlProgramKind {
  static GLuint Generate() { return glCreateProgram(); }
  static void Delete(GLuint name) { glDeleteProgram(name); }
  static void Forget(GlStateCache& bindings, GLuint name) { bindings.forgetProgram(name); }
};

// Shaders are made for one stage: adopt the name glCreateShader returns.
struct GlShaderKind {
  static void Delete(GLuint name) { glDeleteShader(name); }
};

using GlBuffer = GlName<GlBufferKind>;
using GlTexture = GlName<GlTextureKind>;
using GlSampler = GlName<GlSamplerKind>;
using GlFramebuffer = GlName<GlFramebufferKind>;
using GlRenderbuffer = GlName<GlRenderbufferKind>;
using GlVertexArray = GlName<GlVertexArrayKind>;
using GlProgram = GlName<GlProgramKind>;
using GlShader = GlName<GlShaderKind>;

}  // namespace vantra::platform
