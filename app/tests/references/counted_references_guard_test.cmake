# The hand-counting guard against a scratch copy of the sources: the copy as it is passes,
# every planted call of AddRef or Release fails it and is named, and calls only mentioned in
# comments pass.
# Run as: cmake -DSOURCE_DIR=<project> -DSCRATCH_DIR=<empty folder> -P counted_references_guard_test.cmake
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/../planted_checks.cmake)
vantra_scratch_tree(app fuzz)
set(check ${CMAKE_CURRENT_LIST_DIR}/check_counted_references.cmake)

vantra_run_check(${check} code text -DSOURCE_DIR=${tree})
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the unchanged copy fails the check:\n${text}")
endif()

# One file per way of counting by hand, each planted alone: the file, then its text.
set(plants
  "app/platform/planted_arrow.cpp" "  texture->Release()"
  "app/tests/platform/planted_dot.cpp" "  EXPECT_EQ(held.AddRef(), 2u)"
  "app/bench/planted_qualified.cpp" "  device->IUnknown::Release()"
  "app/engine/planted_pointer.h" "  std::for_each(a, b, std::mem_fn(&IUnknown::Release))"
  "app/scene/planted_bare.h" "  void drop() { Release() }"
  "app/shell/planted_return.cpp" "  ULONG drop() { return Release() }"
  "app/terrain/deeper/planted_spaced.cpp" "  if (held) held -> AddRef ()"
  "fuzz/planted_fuzz.cpp" "  surface->Release()")
vantra_expect_plants_caught(${check} ${tree} plants -DSOURCE_DIR=${tree})

file(WRITE ${tree}/app/platform/planted_comment.cpp
     "// texture->Release() is what the holder does for us\nint a\\; // then a.AddRef()\n")
vantra_run_check(${check} code output -DSOURCE_DIR=${tree})
if(NOT code EQUAL 0)
  message(FATAL_ERROR "calls named only in comments were reported:\n${output}")
endif()
file(REMOVE_RECURSE ${SCRATCH_DIR})
