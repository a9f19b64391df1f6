# ---- protocol: message builders and parsers of both links ----
foreach(module
    lbs_plugin_consumer_json_builder
    lbs_plugin_consumer_json_parser
    lbs_plugin_consumer_json_parser_location
    lbs_plugin_consumer_json_parser_replies
    lbs_plugin_consumer_bap_json_builder
    lbs_plugin_consumer_bap_json_parser)
  lbs_add_gtest(${module}_test protocol
    SOURCES ${module}_test.cpp
    LIBS lbs_plugin_static)
endforeach()
# The nesting guard is proven on a thread with a small stack.
find_package(Threads REQUIRED)
target_link_libraries(lbs_plugin_consumer_json_parser_test PRIVATE Threads::Threads)
