# Runs with cmake -P: installs the library into a scratch prefix, then
# configures and builds the consumer benchmark against that installation.
set(prefix ${SCRATCH_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN}\nfailed (${result}):\n${out}\n${err}")
  endif()
endfunction()

file(REMOVE_RECURSE ${prefix})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component Vantra)
run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE_DIR} -B ${SCRATCH_DIR}/build -G ${CONSUMER_GENERATOR}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CONSUMER_CXX_COMPILER}
    -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${OUTPUT_DIR})
run(${CMAKE_COMMAND} --build ${SCRATCH_DIR}/build)
