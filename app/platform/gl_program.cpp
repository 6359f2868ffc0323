#include "platform/gl_program.h"

#include <algorithm>
#include <cstdio>

namespace {

GLuint Compile(GLenum type, const char* source) {
  const GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_FALSE) {
    char log[1024] = {0};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    std::fprintf(stderr, "shader compilation failed: %s\n%s\n", log, source);
    glDeleteShader(shader);
    return 0;
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
  GLuint shaders[4] = {Compile(GL_VERTEX_SHADER, vertexSource),
                       Compile(GL_FRAGMENT_SHADER, fragmentSource),
                       tessellated ? Compile(GL_TESS_CONTROL_SHADER, tessControlSource) : 0,
                       tessellated ? Compile(GL_TESS_EVALUATION_SHADER, tessEvaluationSource) : 0};
  const int stages = tessellated ? 4 : 2;
  GLuint program = 0;
  if (std::all_of(shaders, shaders + stages, [](GLuint shader) { return shader != 0; })) {
    program = glCreateProgram();
    for (int stage = 0; stage < stages; ++stage) glAttachShader(program, shaders[stage]);
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked == GL_FALSE) {
      char log[1024] = {0};
      glGetProgramInfoLog(program, sizeof log, nullptr, log);
      std::fprintf(stderr, "shader program link failed: %s\n", log);
      glDeleteProgram(program);
      program = 0;
    }
  }
  // Attached shaders live on with the program; deleting them now frees them with it.
  for (int stage = 0; stage < stages; ++stage) glDeleteShader(shaders[stage]);
  return program;
}
