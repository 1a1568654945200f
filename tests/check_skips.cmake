# Script mode: every skip in the tests goes through the one helper that turns it into a failure
# in CI (support/missing.hpp for the test programs, support/missing.cmake for the test scripts).
# Fails, naming the file and the line, for a GTEST_SKIP or a message("SKIPPED: ...") elsewhere.
#   cmake -DTESTS=tests -P check_skips.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE files "${TESTS}/*.cpp" "${TESTS}/*.hpp" "${TESTS}/*.c" "${TESTS}/*.cmake"
     "${TESTS}/*.txt")
set(helpers "${TESTS}/support/missing.hpp" "${TESTS}/support/missing.cmake"
            "${TESTS}/check_skips.cmake")
set(found "")
set(checked 0)
foreach(file IN LISTS files)
  if(file IN_LIST helpers)
    continue()
  endif()
  math(EXPR checked "${checked} + 1")
  file(STRINGS "${file}" lines REGEX "GTEST_SKIP|message[(]\"SKIPPED")
  foreach(line IN LISTS lines)
    file(RELATIVE_PATH name "${TESTS}" "${file}")
    string(STRIP "${line}" line)
    string(APPEND found "\n  tests/${name}: ${line}")
  endforeach()
endforeach()
if(checked LESS 10)
  message(FATAL_ERROR "found only ${checked} test files under ${TESTS}")
endif()
if(found)
  message(FATAL_ERROR "skips that bypass KORVANE_MISSING (support/missing.hpp) or "
                      "korvane_missing (support/missing.cmake), and so would skip in CI too:"
                      "${found}")
endif()
message(STATUS "${checked} test files: every skip goes through the helper")
