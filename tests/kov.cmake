# ---- kov: the first link (dispatcher, event senders, transport) ----
# The event senders and the event building both links share are built from
# their sources directly, so that they can be tested before the rest of the
# link links.
foreach(module
    lbs_plugin_consumer_event
    lbs_plugin_consumer_main_respond)
  add_executable(${module}_test
    ${module}_test.cpp
    ${CMAKE_SOURCE_DIR}/plugin/kov/lbs_plugin_consumer_main_respond.cpp
    ${CMAKE_SOURCE_DIR}/plugin/lbs_plugin_consumer_event.cpp)
  target_include_directories(${module}_test PRIVATE
    ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_SOURCE_DIR}/include
    ${CMAKE_SOURCE_DIR}/plugin
    ${CMAKE_SOURCE_DIR}/plugin/kov)
  target_compile_definitions(${module}_test PRIVATE LBS_EXTRA_DIR="${LBS_EXTRA_DIR}")
  target_link_libraries(${module}_test PRIVATE
    dlog PkgConfig::GLIB PkgConfig::JSONGLIB GTest::gtest GTest::gtest_main)
  add_test(NAME ${module}_test COMMAND ${module}_test)
  set_tests_properties(${module}_test PROPERTIES LABELS kov TIMEOUT 300)
endforeach()

# Each test program is built when its source exists.
foreach(module
    lbs_plugin_consumer_main
    lbs_plugin_consumer_kov_intf
    lbs_plugin_consumer_kov_intf_file
    lbs_plugin_consumer_kov_intf_exercise)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${module}_test.cpp)
    lbs_add_gtest(${module}_test kov
      SOURCES ${module}_test.cpp
      LIBS lbs_plugin_static)
  endif()
endforeach()

# These remove and recreate the plugin's file directory, or start the link,
# which removes a map image left in it; they must not run beside each other
# or beside the scenarios.
foreach(module
    lbs_plugin_consumer_main
    lbs_plugin_consumer_kov_intf
    lbs_plugin_consumer_kov_intf_file
    lbs_plugin_consumer_kov_intf_exercise)
  if(TARGET ${module}_test)
    set_tests_properties(${module}_test PROPERTIES RESOURCE_LOCK lbs_file_directory)
  endif()
endforeach()
