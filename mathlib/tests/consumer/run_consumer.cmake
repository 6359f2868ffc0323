# Runs with cmake -P: install, configure, build and run the consumer project.
file(REMOVE_RECURSE ${SCRATCH_DIR})
set(prefix ${SCRATCH_DIR}/prefix)

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/run_checked.cmake)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component Vantra)
file(GLOB_RECURSE pc_file ${prefix}/*/vantra.pc)
if(NOT pc_file)
  message(FATAL_ERROR "vantra.pc was not installed under ${prefix}")
endif()
get_filename_component(pc_dir ${pc_file} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run(pkg-config --cflags --libs vantra)
string(REGEX MATCH "-I([^ \n]+)" include_flag "${run_output}")
if(NOT EXISTS "${CMAKE_MATCH_1}/vantra/vantra.h" OR NOT run_output MATCHES "-lvantra")
  message(FATAL_ERROR "pkg-config reported: ${run_output}")
endif()

run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE_DIR} -B ${SCRATCH_DIR}/build -G ${CONSUMER_GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CONSUMER_CXX_COMPILER}
    "-DCMAKE_CXX_FLAGS=${CONSUMER_CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${SCRATCH_DIR}/build)

foreach(program consumer_cmake consumer_pkgconfig)
  run(${SCRATCH_DIR}/build/${program})
  if(NOT run_output STREQUAL "consumer ok\n")
    message(FATAL_ERROR "${program} printed: ${run_output}")
  endif()
endforeach()
