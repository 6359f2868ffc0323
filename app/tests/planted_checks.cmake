# Shared by the source guards' own tests: a scratch copy of parts of the project, and a check
# script run against it, as it is and with one planted file at a time.

# Copies the named top-level parts of SOURCE_DIR into ${SCRATCH_DIR}/tree and sets `tree`.
macro(vantra_scratch_tree)
  set(tree ${SCRATCH_DIR}/tree)
  file(REMOVE_RECURSE ${SCRATCH_DIR})
  file(MAKE_DIRECTORY ${tree})
  foreach(part ${ARGN})
    file(COPY ${SOURCE_DIR}/${part} DESTINATION ${tree})
  endforeach()
endmacro()

# Runs `script` with the -D arguments that follow; sets `result` and `output`.
function(vantra_run_check script result output)
  execute_process(COMMAND ${CMAKE_COMMAND} ${ARGN} -P ${script}
                  RESULT_VARIABLE code ERROR_VARIABLE text OUTPUT_VARIABLE text)
  set(${result} ${code} PARENT_SCOPE)
  set(${output} "${text}" PARENT_SCOPE)
endfunction()

# Plants each file of the list named by `plantList` (pairs of a path under `root` and the line
# to write there after a first comment line) alone, runs `script` with the -D arguments that
# follow, and fails the test with every plant that passed or whose path went unreported.
function(vantra_expect_plants_caught script root plantList)
  set(missed "")
  list(LENGTH ${plantList} count)
  math(EXPR last "${count} - 1")
  foreach(index RANGE 0 ${last} 2)
    math(EXPR textIndex "${index} + 1")
    list(GET ${plantList} ${index} file)
    list(GET ${plantList} ${textIndex} text)
    file(WRITE ${root}/${file} "// planted\n${text}\n")
    vantra_run_check(${script} code output ${ARGN})
    if(code EQUAL 0 OR NOT output MATCHES "${file}")
      list(APPEND missed "${file}: ${text}")
    endif()
    file(REMOVE ${root}/${file})
  endforeach()
  if(missed)
    list(JOIN missed "\n" report)
    message(FATAL_ERROR "the check let these through:\n${report}")
  endif()
endfunction()
