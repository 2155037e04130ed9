# An installed kalvero-run finds its supervisor in libexec and runs a syntax
# file; with the supervisor gone, no engine starts and the message says what
# is missing and where it was looked for.
#   cmake -DBUILD=<build folder> -DWORK=<scratch folder> -P installed_supervisor_test.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/files" "${WORK}/tmp")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "DESTDIR=${WORK}/root"
                        "${CMAKE_COMMAND}" --install "${BUILD}" --prefix /opt/kalvero
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
set(installed "${WORK}/root/opt/kalvero")
file(WRITE "${WORK}/files/a.sps" "DATA LIST LIST /x.\nBEGIN DATA\n4\n6\nEND DATA.\nDESCRIPTIVES x.\n")

function(run_installed result errors)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env "TMPDIR=${WORK}/tmp" LC_ALL=C.UTF-8
                          "${installed}/bin/kalvero-run" -f text a.sps
                  WORKING_DIRECTORY "${WORK}/files"
                  RESULT_VARIABLE status ERROR_VARIABLE said OUTPUT_QUIET)
  set(${result} "${status}" PARENT_SCOPE)
  set(${errors} "${said}" PARENT_SCOPE)
endfunction()

run_installed(status said)
if(NOT status EQUAL 0 OR NOT EXISTS "${WORK}/files/a.txt")
  message(FATAL_ERROR "the installed kalvero-run failed (${status}): ${said}")
endif()

file(REMOVE "${installed}/libexec/kalvero/kalvero-supervise")
file(REMOVE "${WORK}/files/a.txt")
run_installed(status said)
string(FIND "${said}" "kalvero-supervise" named)
string(FIND "${said}" "${installed}/libexec/kalvero/kalvero-supervise" place)
if(status EQUAL 0 OR named EQUAL -1 OR place EQUAL -1 OR EXISTS "${WORK}/files/a.txt")
  message(FATAL_ERROR "without its supervisor kalvero-run said (${status}): ${said}")
endif()
file(REMOVE_RECURSE "${WORK}")
