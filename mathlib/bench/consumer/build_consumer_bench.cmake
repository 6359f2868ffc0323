# Runs with cmake -P: installs the library into a scratch prefix, then
# configures and builds the consumer benchmark against that installation.
set(prefix ${SCRATCH_DIR}/prefix)

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/run_checked.cmake)

file(REMOVE_RECURSE ${prefix})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component Vantra)
run(${CMAKE_COMMAND} -S ${CONSUMER_SOURCE_DIR} -B ${SCRATCH_DIR}/build -G ${CONSUMER_GENERATOR}
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_CXX_COMPILER=${CONSUMER_CXX_COMPILER}
    -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${OUTPUT_DIR})
run(${CMAKE_COMMAND} --build ${SCRATCH_DIR}/build)
