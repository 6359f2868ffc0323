# The binding check against a scratch copy of app/: the copy as it is passes, and every
# planted bind that goes around the binding cache fails it, naming the file.
# Run as: cmake -DSOURCE_DIR=<project> -DSCRATCH_DIR=<empty folder> -P gl_bindings_guard_test.cmake
cmake_minimum_required(VERSION 3.25)

set(tree ${SCRATCH_DIR}/app)
file(REMOVE_RECURSE ${SCRATCH_DIR})
file(MAKE_DIRECTORY ${SCRATCH_DIR})
file(COPY ${SOURCE_DIR}/app DESTINATION ${SCRATCH_DIR})
set(check ${CMAKE_CURRENT_LIST_DIR}/check_gl_bindings.cmake)

function(run_check result output)
  execute_process(COMMAND ${CMAKE_COMMAND} -DAPP_DIR=${tree} -P ${check}
                  RESULT_VARIABLE code ERROR_VARIABLE text OUTPUT_VARIABLE text)
  set(${result} ${code} PARENT_SCOPE)
  set(${output} "${text}" PARENT_SCOPE)
endfunction()

run_check(code text)
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
set(missed "")
list(LENGTH plants count)
math(EXPR last "${count} - 1")
foreach(index RANGE 0 ${last} 2)
  math(EXPR textIndex "${index} + 1")
  list(GET plants ${index} file)
  list(GET plants ${textIndex} text)
  file(WRITE ${tree}/${file} "// planted\n${text}\n")
  run_check(code output)
  if(code EQUAL 0 OR NOT output MATCHES "${file}")
    list(APPEND missed "${file}: ${text}")
  endif()
  file(REMOVE ${tree}/${file})
endforeach()
if(missed)
  list(JOIN missed "\n" report)
  message(FATAL_ERROR "the binding check let these through:\n${report}")
endif()
file(REMOVE_RECURSE ${SCRATCH_DIR})
