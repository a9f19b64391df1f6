# ---- sim ----
# Platform stand-ins, the scenario runner and the golden scenarios.

lbs_add_gtest(alarmmgr_test sim
  SOURCES alarmmgr_test.cpp
  LIBS alarmmgr PkgConfig::GLIB)
lbs_add_gtest(kov_client_test sim
  SOURCES kov_client_test.cpp
  LIBS kov_client PkgConfig::GLIB)
lbs_add_gtest(bapd_client_test sim
  SOURCES bapd_client_test.cpp
  LIBS bapd_client)
lbs_add_gtest(lbs_sim_scenario_test sim
  SOURCES lbs_sim_scenario_test.cpp
  LIBS lbs_sim_core)
target_compile_definitions(lbs_sim_scenario_test PRIVATE LBS_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
lbs_add_gtest(lbs_sim_trace_test sim
  SOURCES lbs_sim_trace_test.cpp
  LIBS lbs_sim_core)

# The runner's tests drive a small plugin of their own, loaded like the real one.
add_library(lbs_sim_runner_test_plugin MODULE lbs_sim_runner_test_plugin.cpp)
target_include_directories(lbs_sim_runner_test_plugin PRIVATE ${CMAKE_SOURCE_DIR}/include)
target_link_libraries(lbs_sim_runner_test_plugin PRIVATE kov_client alarmmgr PkgConfig::GLIB)
set_target_properties(lbs_sim_runner_test_plugin PROPERTIES CXX_VISIBILITY_PRESET hidden)
lbs_add_gtest(lbs_sim_runner_test sim
  SOURCES lbs_sim_runner_test.cpp
  LIBS lbs_sim_core)
add_dependencies(lbs_sim_runner_test lbs_sim_runner_test_plugin)
target_compile_definitions(lbs_sim_runner_test PRIVATE
  LBS_SIM_TEST_PLUGIN="$<TARGET_FILE:lbs_sim_runner_test_plugin>")

# Golden scenarios: tests/scenarios/NAME.scn is run with --trace (and the
# options of its "# lbs-sim-args:" line) and must print NAME.trace exactly.
# tests/scenarios/unreadable/NAME.scn must be refused with exit status 2 and
# the message in NAME.err.
set(LBS_SCENARIO_DIR ${CMAKE_CURRENT_SOURCE_DIR}/scenarios)
set(LBS_SCENARIO_SCRIPT ${LBS_SCENARIO_DIR}/run_scenario.cmake)
file(GLOB LBS_SCENARIOS CONFIGURE_DEPENDS ${LBS_SCENARIO_DIR}/*.scn)
foreach(scn IN LISTS LBS_SCENARIOS)
  get_filename_component(name ${scn} NAME_WE)
  add_test(NAME scenario_${name}
    COMMAND ${CMAKE_COMMAND}
      -DSIM=$<TARGET_FILE:lbs-sim>
      "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
      -DSCENARIO=${name}.scn
      -DEXPECTED=${LBS_SCENARIO_DIR}/${name}.trace
      -DWORKDIR=${LBS_SCENARIO_DIR}
      -DACTUAL=${CMAKE_CURRENT_BINARY_DIR}/scenario_${name}.actual
      -P ${LBS_SCENARIO_SCRIPT})
  # Scenarios share the build tree's file directory, and some take it away.
  set_tests_properties(scenario_${name} PROPERTIES LABELS sim TIMEOUT 60
    RESOURCE_LOCK lbs_file_directory
    SKIP_REGULAR_EXPRESSION "lbs-sim scenario skipped: it needs root")
endforeach()

file(GLOB LBS_UNREADABLE_SCENARIOS CONFIGURE_DEPENDS ${LBS_SCENARIO_DIR}/unreadable/*.scn)
foreach(scn IN LISTS LBS_UNREADABLE_SCENARIOS)
  get_filename_component(name ${scn} NAME_WE)
  add_test(NAME scenario_unreadable_${name}
    COMMAND ${CMAKE_COMMAND}
      -DSIM=$<TARGET_FILE:lbs-sim>
      "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
      -DSCENARIO=unreadable/${name}.scn
      -DEXPECTED=${LBS_SCENARIO_DIR}/unreadable/${name}.err
      -DWORKDIR=${LBS_SCENARIO_DIR}
      -DMODE=unreadable
      -DACTUAL=${CMAKE_CURRENT_BINARY_DIR}/scenario_unreadable_${name}.actual
      -P ${LBS_SCENARIO_SCRIPT})
  set_tests_properties(scenario_unreadable_${name} PROPERTIES LABELS sim TIMEOUT 60)
endforeach()

# The demo scenario must keep running to its end.
add_test(NAME scenario_demo_runs
  COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:lbs-sim> --logs ${CMAKE_SOURCE_DIR}/sim/scenarios/default.scn)
set_tests_properties(scenario_demo_runs PROPERTIES LABELS sim TIMEOUT 60)

# The simulated phone's sessions too: two hours of running and a city walk.
foreach(name run walk)
  add_test(NAME scenario_${name}_runs
    COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:lbs-sim> ${CMAKE_SOURCE_DIR}/sim/scenarios/${name}.scn)
  set_tests_properties(scenario_${name}_runs PROPERTIES LABELS sim TIMEOUT 120)
endforeach()

# The simulated phone: geodesics and GPX reading, the exercise figures and
# the provider model, against values worked by hand.
lbs_add_gtest(lbs_sim_phone_geo_test sim
  SOURCES lbs_sim_phone_geo_test.cpp
  LIBS lbs_sim_core)
target_compile_definitions(lbs_sim_phone_geo_test PRIVATE LBS_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
lbs_add_gtest(lbs_sim_phone_exercise_test sim
  SOURCES lbs_sim_phone_exercise_test.cpp
  LIBS lbs_sim_core)
lbs_add_gtest(lbs_sim_phone_model_test sim
  SOURCES lbs_sim_phone_model_test.cpp
  LIBS lbs_sim_core)

# The console end to end: through a real pseudo-terminal and through a
# pipe; what it records must replay to the trace it printed.
lbs_add_gtest(lbs_sim_console_test sim
  SOURCES lbs_sim_console_test.cpp)
add_dependencies(lbs_sim_console_test lbs-sim)
# The emulator command is a list; its words travel joined by '|', since a ';'
# would split the definition in two.
string(REPLACE ";" "|" lbs_sim_emulator_words "${CMAKE_CROSSCOMPILING_EMULATOR}")
target_compile_definitions(lbs_sim_console_test PRIVATE
  LBS_SIM="$<TARGET_FILE:lbs-sim>"
  "LBS_SIM_EMULATOR=\"${lbs_sim_emulator_words}\"")
# It plays scenarios in the build tree's file directory, as golden scenarios do.
set_tests_properties(lbs_sim_console_test PROPERTIES RESOURCE_LOCK lbs_file_directory TIMEOUT 300)

# The command line: --help, --version, outputs refused before the run,
# standard input as the scenario.
add_test(NAME lbs_sim_command_line
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/lbs_sim_cli_test.sh ${PROJECT_VERSION}
    ${CMAKE_CURRENT_BINARY_DIR}/lbs_sim_command_line ${LBS_SCENARIO_DIR}
    ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:lbs-sim>)
set_tests_properties(lbs_sim_command_line PROPERTIES LABELS sim TIMEOUT 120 RESOURCE_LOCK lbs_file_directory)

# The examples of docs/scenarios.md: every scenario block and every one-line
# example runs, and each trace the document shows is the one printed.
add_test(NAME docs_scenarios_examples
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/docs_scenarios.sh
    ${CMAKE_SOURCE_DIR}/docs/scenarios.md ${CMAKE_CURRENT_BINARY_DIR}/docs_scenarios
    ${CMAKE_SOURCE_DIR}/sim/tracks ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:lbs-sim>)
# Some examples take the file directory away or send files into it.
set_tests_properties(docs_scenarios_examples PROPERTIES LABELS sim TIMEOUT 120
  RESOURCE_LOCK lbs_file_directory)
