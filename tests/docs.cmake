# ---- docs ----
# Every example in the documents for people is one the suite runs: each
# excerpt quoted under a "<!-- trace: NAME -->" or "<!-- scenario: NAME -->"
# marker must stand, line for line, in that golden scenario. The check's own
# test makes sure it refuses what it is there to refuse.
add_test(NAME docs_host_guide_examples
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_doc_examples.sh
    ${CMAKE_SOURCE_DIR}/docs/host-guide.md ${CMAKE_CURRENT_SOURCE_DIR}/scenarios)
set_tests_properties(docs_host_guide_examples PROPERTIES LABELS sim TIMEOUT 60)

add_test(NAME docs_example_check_refuses_bad_examples
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_doc_examples_selftest.sh
    ${CMAKE_CURRENT_SOURCE_DIR}/check_doc_examples.sh ${CMAKE_CURRENT_SOURCE_DIR}/scenarios
    ${CMAKE_CURRENT_BINARY_DIR}/docs_example_check)
set_tests_properties(docs_example_check_refuses_bad_examples PROPERTIES LABELS sim TIMEOUT 60)
