# Fails when a file under app/ includes a header from a layer above its own, or when a scene
# object or the terrain includes the engine itself instead of the interfaces it offers them.
# Every source and header of a layer counts, in sub-folders too, and both include forms: a
# quoted name is looked up beside the including file first, then (like an angle-bracket
# name) under app/, which every layer exports as an include root; names found in neither
# place are not the program's.
# Run as: cmake -DAPP_DIR=<app> -P check_layer_includes.cmake
cmake_minimum_required(VERSION 3.25)

# What each layer may include. Elevation stands beside the platform at the bottom and
# includes nothing of the program.
set(allowed_platform platform)
set(allowed_elevation elevation)
set(allowed_engine platform elevation engine)
set(allowed_scene ${allowed_engine} scene)
set(allowed_terrain ${allowed_scene} terrain)
set(allowed_shell ${allowed_terrain} shell)
set(layers platform elevation engine scene terrain shell)

get_filename_component(APP_DIR "${APP_DIR}" REALPATH)
set(faults "")
foreach(layer ${layers})
  file(GLOB_RECURSE sources ${APP_DIR}/${layer}/*.h ${APP_DIR}/${layer}/*.hpp
       ${APP_DIR}/${layer}/*.cpp ${APP_DIR}/${layer}/*.cc ${APP_DIR}/${layer}/*.inl)
  foreach(source ${sources})
    get_filename_component(folder ${source} DIRECTORY)
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${includes})
      string(REGEX MATCH "[\"<]([^\">]*)[\">]" spelled "${line}")
      set(header ${CMAKE_MATCH_1})
      set(resolved "")
      if(spelled MATCHES "^\"" AND EXISTS ${folder}/${header})
        get_filename_component(resolved ${folder}/${header} REALPATH)
      elseif(EXISTS ${APP_DIR}/${header})
        get_filename_component(resolved ${APP_DIR}/${header} REALPATH)
      endif()
      if(NOT resolved)
        continue()
      endif()
      file(RELATIVE_PATH path ${APP_DIR} ${resolved})
      if(path MATCHES "^\\.\\./")
        continue()
      endif()
      string(REGEX REPLACE "/.*$" "" headerLayer "${path}")
      if(NOT headerLayer IN_LIST allowed_${layer})
        list(APPEND faults "${source} includes ${spelled} (${path}), from outside the layers below")
      elseif(layer MATCHES "^(scene|terrain)$" AND path STREQUAL "engine/d3d.h")
        list(APPEND faults "${source} includes engine/d3d.h instead of engine/engine_services.h")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults)
  list(JOIN faults "\n" report)
  message(FATAL_ERROR "${report}")
endif()
