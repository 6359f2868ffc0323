// Builds a GLSL program from its two stages; shared by the shader cache, the font and the
// raw OpenGL peers of the benchmarks.
#pragma once

#include <epoxy/gl.h>

// Compiles and links in the current context. On failure it prints the compiler's or the
// linker's log to stderr, deletes what it made and returns 0.
GLuint LinkProgram(const char* vertexSource, const char* fragmentSource);
