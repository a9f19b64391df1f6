# Runs lbs-sim on one scenario and compares what it printed with the golden
# file, byte for byte.
#
#   cmake -DSIM=<lbs-sim> -DSCENARIO=<name.scn, relative to WORKDIR>
#         -DEXPECTED=<golden file> -DWORKDIR=<dir> [-DEMULATOR=<runner;args>]
#         [-DMODE=trace|unreadable] [-DACTUAL=<where to keep the output>]
#         -P run_scenario.cmake
#
# MODE trace (default): exit 0, standard output equals the golden trace. The
# options come from a line "# lbs-sim-args: ..." in the scenario; --trace is
# always given.
# MODE unreadable: exit 2, nothing on standard output, standard error equals
# the golden message.

foreach(var SIM SCENARIO EXPECTED WORKDIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_scenario.cmake: ${var} is not set")
  endif()
endforeach()
if(NOT DEFINED MODE)
  set(MODE trace)
endif()

set(args --trace)
file(STRINGS "${WORKDIR}/${SCENARIO}" arg_lines REGEX "^# lbs-sim-args:")
foreach(line IN LISTS arg_lines)
  string(REGEX REPLACE "^# lbs-sim-args:[ ]*" "" extra "${line}")
  separate_arguments(extra UNIX_COMMAND "${extra}")
  list(APPEND args ${extra})
endforeach()

# A scenario whose trace shows what only root may do (giving a directory to
# the media user) says so in a line "# lbs-sim-requires: root"; elsewhere it
# is skipped (ctest matches the message below).
file(STRINGS "${WORKDIR}/${SCENARIO}" needs_root REGEX "^# lbs-sim-requires: root$")
if(needs_root)
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT uid STREQUAL "0")
    message("lbs-sim scenario skipped: it needs root")
    return()
  endif()
endif()

execute_process(
  COMMAND ${EMULATOR} ${SIM} ${args} ${SCENARIO}
  WORKING_DIRECTORY ${WORKDIR}
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE rc)

file(READ ${EXPECTED} expected)
if(MODE STREQUAL "trace")
  set(want_rc 0)
  set(actual "${out}")
else()
  set(want_rc 2)
  set(actual "${err}")
  if(NOT out STREQUAL "")
    message(FATAL_ERROR "${SCENARIO}: an unreadable scenario printed on standard output:\n${out}")
  endif()
endif()

set(problems "")
if(NOT rc STREQUAL want_rc)
  string(APPEND problems "exit status ${rc}, expected ${want_rc}\n")
  if(MODE STREQUAL "trace")
    string(APPEND problems "standard error:\n${err}\n")
  endif()
endif()
if(NOT actual STREQUAL expected)
  if(NOT DEFINED ACTUAL)
    set(ACTUAL "${CMAKE_CURRENT_BINARY_DIR}/actual.out")
  endif()
  file(WRITE ${ACTUAL} "${actual}")
  find_program(DIFF diff)
  if(DIFF)
    execute_process(COMMAND ${DIFF} -u ${EXPECTED} ${ACTUAL} OUTPUT_VARIABLE diff_text)
    string(APPEND problems "output differs from ${EXPECTED} (- expected, + actual):\n${diff_text}")
  else()
    string(APPEND problems "output differs from ${EXPECTED}; actual output kept in ${ACTUAL}\n")
  endif()
endif()
if(NOT problems STREQUAL "")
  message(FATAL_ERROR "${SCENARIO}:\n${problems}")
endif()
