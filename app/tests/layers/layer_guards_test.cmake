# The layer guards against a scratch copy of the tree: the copy as it is passes the include
# check, every planted upward include fails it, and a planted upward link stops the
# configure.
# Run as: cmake -DSOURCE_DIR=<project> -DSCRATCH_DIR=<empty folder> -DGENERATOR=<name> -P layer_guards_test.cmake
cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/../planted_checks.cmake)
vantra_scratch_tree(CMakeLists.txt app mathlib tools)
set(check ${CMAKE_CURRENT_LIST_DIR}/check_layer_includes.cmake)

vantra_run_check(${check} code text -DAPP_DIR=${tree}/app)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the unchanged copy fails the include check:\n${text}")
endif()

# One file per kind of upward include, each planted alone: the file, then its text.
set(plants
  "platform/planted_quoted.cpp" "#include \"engine/d3d.h\""
  "platform/planted_angle.h" "#  include <shell/main_frame.h>"
  "platform/planted_relative.cpp" "#include \"../terrain/terrain.h\""
  "platform/deeper/planted_nested.h" "#include \"../../scene/app_camera.h\""
  "engine/deeper/planted_nested.cpp" "#include <terrain/terrain_patch.h>"
  "elevation/planted_bottom.cpp" "#include \"platform/device.h\""
  "scene/planted_engine.cpp" "#include \"engine/d3d.h\"")
vantra_expect_plants_caught(${check} ${tree}/app plants -DAPP_DIR=${tree}/app)

# An upward link hidden as well as it gets: added from the tests' folder after the layers
# exist, as an interface link wrapped in $<LINK_ONLY:...>, through a helper outside the
# layers.
file(APPEND ${tree}/app/tests/CMakeLists.txt [[
add_library(planted_helper INTERFACE)
target_link_libraries(planted_helper INTERFACE vantra_shell)
target_link_libraries(vantra_platform INTERFACE $<LINK_ONLY:planted_helper>)
]])
execute_process(COMMAND ${CMAKE_COMMAND} -S ${tree} -B ${SCRATCH_DIR}/build -G ${GENERATOR}
                RESULT_VARIABLE code ERROR_VARIABLE output OUTPUT_VARIABLE output)
if(code EQUAL 0 OR NOT output MATCHES "vantra_platform \\(platform\\) links vantra_shell")
  message(FATAL_ERROR "the planted upward link was not reported:\n${output}")
endif()
file(REMOVE_RECURSE ${SCRATCH_DIR})
