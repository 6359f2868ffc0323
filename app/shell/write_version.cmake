# Writes the header that names the program's version: what git describe says about the source
# tree now, or the project version where the tree is no git checkout. The header is rewritten
# only when the text changes, so that an unchanged version rebuilds nothing.
# Run as: cmake -DSOURCE_DIR=<tree> -DPROJECT_VERSION=<x.y.z> -DOUTPUT=<header> -P write_version.cmake
cmake_minimum_required(VERSION 3.25)
set(version "${PROJECT_VERSION}")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --always --dirty
                  WORKING_DIRECTORY ${SOURCE_DIR}
                  OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE result ERROR_QUIET)
  if(result EQUAL 0 AND described)
    set(version "${described}")
  endif()
endif()
file(CONFIGURE OUTPUT ${OUTPUT} CONTENT "#define VANTRA_VERSION \"@version@\"\n" @ONLY)
