# ---- bap: the second link (dispatcher, responders, transport) ----
# Unit tests of what the golden scenarios cannot reach cheaply; each program
# is built when its source exists.
foreach(module
    lbs_plugin_consumer_bap_main
    lbs_plugin_consumer_bap_intf)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${module}_test.cpp)
    lbs_add_gtest(${module}_test bap
      SOURCES ${module}_test.cpp
      LIBS lbs_plugin_static)
  endif()
endforeach()

# Removes and recreates the plugin's file directory, as the first link's file
# tests do; the two must not run beside each other.
if(TARGET lbs_plugin_consumer_bap_intf_test)
  set_tests_properties(lbs_plugin_consumer_bap_intf_test PROPERTIES RESOURCE_LOCK lbs_file_directory)
endif()
