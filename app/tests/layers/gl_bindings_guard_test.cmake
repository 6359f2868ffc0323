# The binding check against a scratch copy of app/: the copy as it is passes, and every
# planted bind that goes around the binding cache fails it, naming the file.
# Run as: cmake -DSOURCE_DIR=<project> -DSCRATCH_DIR=<empty folder> -P gl_bindings_guard_test.cmake
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/../planted_checks.cmake)
vantra_scratch_tree(app)
set(check ${CMAKE_CURRENT_LIST_DIR}/check_gl_bindings.cmake)

vantra_run_check(${check} code text -DAPP_DIR=${tree}/app)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the unchanged copy fails the binding check:\n${text}")
endif()

# One file per kind of bypass, each planted alone: the file, then its text.
set(plants
  "platform/planted_texture.cpp" "  glBindTexture(GL_TEXTURE_2D, name)\\;"
  "platform/planted_program.h" "inline void Use(GLuint p) { glUseProgram (p)\\; }"
  "platform/deeper/planted_unit.cpp" "glActiveTexture(GL_TEXTURE1)\\;"
  "platform/planted_buffer.cpp" "  if (dirty) glBindBuffer(GL_ARRAY_BUFFER, b)\\;"
  "platform/planted_read_back.cpp" "  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous)\\;"
  "engine/planted_framebuffer.cpp" "glBindFramebuffer(GL_FRAMEBUFFER, 0)\\;")
vantra_expect_plants_caught(${check} ${tree}/app plants -DAPP_DIR=${tree}/app)
file(REMOVE_RECURSE ${SCRATCH_DIR})
