// Builds a GLSL program from its stages; shared by the shader cache, the font and the
// raw OpenGL peers of the benchmarks.
#pragma once

#include <epoxy/gl.h>

namespace vantra::platform {

// Compiles and links in the current context. On failure it prints the compiler's or the
// linker's log to stderr, deletes what it made and returns 0.
GLuint LinkProgram(const char* vertexSource, const char* fragmentSource);
// The same with tessellation control and evaluation stages between the two.
GLuint LinkProgram(const char* vertexSource, const char* tessControlSource,
                   const char* tessEvaluationSource, const char* fragmentSource);

}  // namespace vantra::platform
