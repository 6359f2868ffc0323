# Fails when a source of the program, its tests, benchmarks or fuzz targets calls AddRef or
# Release by hand: device objects are held through ComRef, which takes and drops references
# itself, so no count is kept by hand and none leaks on an early return. Only ComRef and the
# counting base that defines the two methods may call them. Line comments do not count.
# Run as: cmake -DSOURCE_DIR=<project> -P check_counted_references.cmake
cmake_minimum_required(VERSION 3.25)

set(allowed app/platform/com_ref.h app/platform/ref_counted.h)
# A member call (a->Release(), a.AddRef(), a->IUnknown::Release()), a qualified name (also as
# a method pointer), or a call on the object itself from one of its members.
set(member "(->|\\.)[ \t]*(AddRef|Release)[ \t]*\\(")
set(qualified "::[ \t]*(AddRef|Release)([^A-Za-z0-9_]|$)")
set(bare "(^|[,{}()=!&|?:]|return)[ \t]*(AddRef|Release)[ \t]*\\(")

get_filename_component(SOURCE_DIR "${SOURCE_DIR}" REALPATH)
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/app/*.h ${SOURCE_DIR}/app/*.hpp ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.cc
     ${SOURCE_DIR}/app/*.inl ${SOURCE_DIR}/fuzz/*.h ${SOURCE_DIR}/fuzz/*.cpp ${SOURCE_DIR}/fuzz/*.cc)
set(faults "")
foreach(source ${sources})
  if(source IN_LIST allowed)
    continue()
  endif()
  file(READ ${SOURCE_DIR}/${source} text)
  if(NOT text MATCHES "AddRef|Release")
    continue()
  endif()
  # One list element per line: semicolons and brackets would split or join elements, and
  # neither matters to the patterns (a statement's semicolon is read as its comma).
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "[" "(" text "${text}")
  string(REPLACE "]" ")" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(REGEX REPLACE "//.*$" "" code "${line}")
    if(code MATCHES "${member}" OR code MATCHES "${qualified}" OR code MATCHES "${bare}")
      string(STRIP "${line}" shown)
      list(APPEND faults "${source}:${number}: ${shown}")
    endif()
  endforeach()
endforeach()
if(faults)
  list(JOIN faults "\n" report)
  message(FATAL_ERROR "references counted by hand (hold the object in a ComRef instead):\n${report}")
endif()
