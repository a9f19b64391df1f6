# ---- sim outputs ----
# The map image, GPX out, the plot and the timeline's summary. The test reads
# the JPEG back with libjpeg-turbo and the GPX with libxml2.
pkg_check_modules(LBS_OUTPUTS_TEST_JPEG REQUIRED IMPORTED_TARGET libjpeg)
pkg_check_modules(LBS_OUTPUTS_TEST_XML REQUIRED IMPORTED_TARGET libxml-2.0)
lbs_add_gtest(lbs_sim_outputs_test sim
  SOURCES lbs_sim_outputs_test.cpp
  LIBS lbs_sim_core PkgConfig::LBS_OUTPUTS_TEST_JPEG PkgConfig::LBS_OUTPUTS_TEST_XML)

# The options end to end: the demo scenario with --gpx-out and --plot runs to
# its end and leaves a GPX document and a picture.
list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " LBS_OUTPUTS_EMULATOR)
add_test(NAME lbs_sim_outputs_files
  COMMAND sh -c "${LBS_OUTPUTS_EMULATOR} \"$0\" --gpx-out \"$1\" --plot \"$2\" \"$3\" > /dev/null && grep -q '</gpx>' \"$1\" && test -s \"$2\""
    $<TARGET_FILE:lbs-sim>
    ${CMAKE_CURRENT_BINARY_DIR}/outputs_demo.gpx
    ${CMAKE_CURRENT_BINARY_DIR}/outputs_demo.png
    ${CMAKE_SOURCE_DIR}/sim/scenarios/default.scn)
set_tests_properties(lbs_sim_outputs_files PROPERTIES LABELS sim TIMEOUT 60)
