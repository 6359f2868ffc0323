# The hand-counting guard against a scratch copy of the sources: the copy as it is passes,
# every planted call of AddRef or Release fails it and is named, and a call only mentioned in
# a comment passes.
# Run as: cmake -DSOURCE_DIR=<project> -DSCRATCH_DIR=<empty folder> -P counted_references_guard_test.cmake
cmake_minimum_required(VERSION 3.25)

set(tree ${SCRATCH_DIR}/tree)
file(REMOVE_RECURSE ${SCRATCH_DIR})
file(MAKE_DIRECTORY ${tree})
foreach(part app fuzz)
  file(COPY ${SOURCE_DIR}/${part} DESTINATION ${tree})
endforeach()
set(check ${CMAKE_CURRENT_LIST_DIR}/check_counted_references.cmake)

function(run_check result output)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -P ${check}
                  RESULT_VARIABLE code ERROR_VARIABLE text OUTPUT_VARIABLE text)
  set(${result} ${code} PARENT_SCOPE)
  set(${output} "${text}" PARENT_SCOPE)
endfunction()

run_check(code text)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the unchanged copy fails the check:\n${text}")
endif()

# One file per way of counting by hand, each planted alone: the file, then its text.
set(plants
  "app/platform/planted_arrow.cpp" "  texture->Release()\\;"
  "app/tests/platform/planted_dot.cpp" "  EXPECT_EQ(held.AddRef(), 2u)\\;"
  "app/bench/planted_qualified.cpp" "  device->IUnknown::Release()\\;"
  "app/engine/planted_pointer.h" "  std::for_each(a, b, std::mem_fn(&IUnknown::Release))\\;"
  "app/scene/planted_bare.h" "  void drop() { Release()\\; }"
  "app/shell/planted_return.cpp" "  ULONG drop() { return Release()\\; }"
  "app/terrain/deeper/planted_spaced.cpp" "  if (held) held -> AddRef ()\\;"
  "fuzz/planted_fuzz.cpp" "  surface->Release()\\;")
set(missed "")
list(LENGTH plants count)
math(EXPR last "${count} - 1")
foreach(index RANGE 0 ${last} 2)
  math(EXPR textIndex "${index} + 1")
  list(GET plants ${index} file)
  list(GET plants ${textIndex} text)
  file(WRITE ${tree}/${file} "// planted\nint a[2]\\;\n${text}\n")
  run_check(code output)
  if(code EQUAL 0 OR NOT output MATCHES "${file}:3:")
    list(APPEND missed "${file}: ${text}")
  endif()
  file(REMOVE ${tree}/${file})
endforeach()
if(missed)
  list(JOIN missed "\n" report)
  message(FATAL_ERROR "the check let these through:\n${report}")
endif()

file(WRITE ${tree}/app/platform/planted_comment.cpp
     "// texture->Release() is what the holder does for us\nint a\\; // then a.AddRef()\n")
run_check(code output)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "calls named only in comments were reported:\n${output}")
endif()
file(REMOVE_RECURSE ${SCRATCH_DIR})
