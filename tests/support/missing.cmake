# What a test script (cmake -P) does when something it needs is missing here, as
# support/missing.hpp does for the test programs: outside CI it prints "SKIPPED: ..." (the test's
# SKIP_REGULAR_EXPRESSION) and the caller returns; in CI (the environment variable CI is "true"
# or "1") it stops with an error naming what is missing, unless that is a tool left out of
# scripts/install-deps on purpose (tests/omitted-tools.txt), whose tests are skipped there too.
#   include(${CMAKE_CURRENT_LIST_DIR}/../support/missing.cmake)
#   if(NOT tool_found)
#     korvane_missing(WHAT REMEDY)
#     return()
#   endif()
function(korvane_missing what remedy)
  set(missing "${what} (${remedy})")
  if(NOT ("$ENV{CI}" STREQUAL "true" OR "$ENV{CI}" STREQUAL "1"))
    message("SKIPPED: missing: ${missing}")
    return()
  endif()
  file(STRINGS "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../omitted-tools.txt" lines REGEX "^[^#]")
  foreach(line IN LISTS lines)
    if(line MATCHES "^([^ \t]+)[ \t]*(.*)$" AND CMAKE_MATCH_1 STREQUAL what)
      message("SKIPPED: missing: ${missing}; left out of scripts/install-deps on purpose "
              "(${CMAKE_MATCH_2}), so its tests are not run in CI")
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "missing in CI: ${missing}. With CI=true nothing may be skipped for a "
                      "missing tool: add its package to scripts/install-deps, or list it in "
                      "tests/omitted-tools.txt if it is left out on purpose.")
endfunction()
