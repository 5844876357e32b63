# SPDX-License-Identifier: AGPL-3.0-or-later
# Runs resgen on each damaged source in testdata/ and checks that it fails
# naming the file and giving the message its first line expects
# ("# expect: TEXT"), and that it leaves no output behind.
#   cmake -DRESGEN=... -DSOURCES=... -DWORK=... -P check_rejects.cmake
file(GLOB sources ${SOURCES}/*.txt)
if(NOT sources)
  message(FATAL_ERROR "no damaged sources in ${SOURCES}")
endif()
file(MAKE_DIRECTORY ${WORK})
foreach(source ${sources})
  file(STRINGS ${source} first LIMIT_COUNT 1)
  string(REGEX REPLACE "^# expect: " "" expected "${first}")
  set(output ${WORK}/out.bin)
  file(REMOVE ${output})
  execute_process(COMMAND ${RESGEN} ${source} ${output} RESULT_VARIABLE status ERROR_VARIABLE error)
  if(status EQUAL 0)
    message(FATAL_ERROR "${source}: accepted")
  endif()
  string(FIND "${error}" "${source}:" named)
  string(FIND "${error}" "${expected}" said)
  if(named EQUAL -1 OR said EQUAL -1)
    message(FATAL_ERROR "${source}: expected '${expected}', got '${error}'")
  endif()
  if(EXISTS ${output} OR EXISTS ${output}.part)
    message(FATAL_ERROR "${source}: output left behind")
  endif()
endforeach()
