#include "platform/gl_program.h"

#include <algorithm>
#include <cstdio>

#include "platform/gl_name.h"

namespace vantra::platform {

namespace {

GlShader Compile(GLenum type, const char* source) {
  GlShader shader(glCreateShader(type));
  glShaderSource(shader.get(), 1, &source, nullptr);
  glCompileShader(shader.get());
  GLint ok = GL_FALSE;
  glGetShaderiv(shader.get(), GL_COMPILE_STATUS, &ok);
  if (ok == GL_FALSE) {
    char log[1024] = {0};
    glGetShaderInfoLog(shader.get(), sizeof log, nullptr, log);
    std::fprintf(stderr, "shader compilation failed: %s\n%s\n", log, source);
    return GlShader();
  }
  return shader;
}

}  // namespace

GLuint LinkProgram(const char* vertexSource, const char* fragmentSource) {
  return LinkProgram(vertexSource, nullptr, nullptr, fragmentSource);
}

GLuint LinkProgram(const char* vertexSource, const char* tessControlSource,
                   const char* tessEvaluationSource, const char* fragmentSource) {
  const bool tessellated = tessControlSource != nullptr && tessEvaluationSource != nullptr;
  // Attached shaders live on with the program; their owners delete them on the way out,
  // which frees them with it.
  GlShader shaders[4];
  shaders[0] = Compile(GL_VERTEX_SHADER, vertexSource);
  shaders[1] = Compile(GL_FRAGMENT_SHADER, fragmentSource);
  if (tessellated) {
    shaders[2] = Compile(GL_TESS_CONTROL_SHADER, tessControlSource);
    shaders[3] = Compile(GL_TESS_EVALUATION_SHADER, tessEvaluationSource);
  }
  const int stages = tessellated ? 4 : 2;
  if (!std::all_of(shaders, shaders + stages, [](const GlShader& shader) { return bool(shader); }))
    return 0;
  GlProgram program = GlProgram::Generate();
  for (int stage = 0; stage < stages; ++stage) glAttachShader(program.get(), shaders[stage].get());
  glLinkProgram(program.get());
  GLint linked = GL_FALSE;
  glGetProgramiv(program.get(), GL_LINK_STATUS, &linked);
  if (linked == GL_FALSE) {
    char log[1024] = {0};
    glGetProgramInfoLog(program.get(), sizeof log, nullptr, log);
    std::fprintf(stderr, "shader program link failed: %s\n", log);
    return 0;
  }
  return program.release();
}

}  // namespace vantra::platform
