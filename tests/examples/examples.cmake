# The hosts in other languages (examples/) against this build's Linux library: each prints what
# its calls answered, checked against examples/expected_output.txt.
foreach(language python csharp lua)
  korvane_test(example_${language}
    COMMAND "${CMAKE_COMMAND}" -DLANGUAGE=${language} -DEXAMPLES=${PROJECT_SOURCE_DIR}/examples
            -DLIBRARY=$<TARGET_FILE:korvanelib>
            -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/example_${language}
            -P "${CMAKE_CURRENT_LIST_DIR}/check_example.cmake")
  set_tests_properties(example_${language} PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED:")
endforeach()
