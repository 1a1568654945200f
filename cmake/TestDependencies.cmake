# What the tests and the benchmarks need beyond a compiler and CMake, and whether they are built.
# The library and korvane-call need nothing more. Sets:
#   KORVANE_WITH_TESTS       ON when the tests (with the fuzz targets' corpus replays) are built
#   KORVANE_WITH_BENCHMARKS  ON when the benchmarks are built
# KORVANE_BUILD_TESTS and KORVANE_BUILD_BENCHMARKS take ON, OFF or AUTO. ON stops the configure
# when a dependency is missing; AUTO leaves the part out and says so, in one message for both
# that names the Debian packages to install.

set(korvane_left_out "")          # the parts left out
set(korvane_missing_names "")     # what they need
set(korvane_missing_packages "")  # the Debian packages that bring it

# korvane_test_dependencies(NAMES PACKAGES): sets NAMES to the test dependencies missing here
# and PACKAGES to their Debian packages.
function(korvane_test_dependencies names_variable packages_variable)
  set(names "")
  set(packages "")
  if(CMAKE_CROSSCOMPILING AND WIN32)
    # GoogleTest is compiled from Debian's sources with the cross compiler (GoogleTest.cmake).
    set(KORVANE_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
    if(NOT EXISTS "${KORVANE_GOOGLETEST_SOURCE}/CMakeLists.txt")
      list(APPEND names "GoogleTest's sources")
      list(APPEND packages googletest)
    endif()
  else()
    find_package(GTest QUIET)
    if(NOT GTest_FOUND)
      list(APPEND names GoogleTest)
      list(APPEND packages libgtest-dev)
    endif()
  endif()
  if(KORVANE_PLATFORM STREQUAL "linux")
    # The math reference test and the math fuzz target's corpus replay.
    find_library(KORVANE_MPFR mpfr)
    find_library(KORVANE_GMP gmp)
    find_path(KORVANE_MPFR_INCLUDE_DIR mpfr.h)
    if(NOT KORVANE_MPFR OR NOT KORVANE_GMP OR NOT KORVANE_MPFR_INCLUDE_DIR)
      list(APPEND names MPFR)
      list(APPEND packages libmpfr-dev)
    endif()
  endif()
  set(${names_variable} "${names}" PARENT_SCOPE)
  set(${packages_variable} "${packages}" PARENT_SCOPE)
endfunction()

set(KORVANE_WITH_TESTS OFF)
if(KORVANE_BUILD_TESTS STREQUAL "AUTO" OR KORVANE_BUILD_TESTS)
  korvane_test_dependencies(names packages)
  if(NOT names)
    set(KORVANE_WITH_TESTS ON)
  elseif(KORVANE_BUILD_TESTS STREQUAL "AUTO")
    list(APPEND korvane_left_out "the tests")
    list(APPEND korvane_missing_names ${names})
    list(APPEND korvane_missing_packages ${packages})
  else()
    list(JOIN names ", " names)
    list(JOIN packages " " packages)
    message(FATAL_ERROR "KORVANE_BUILD_TESTS is ON, but the tests need ${names}, which is not "
                        "installed (Debian: ${packages}; scripts/install-deps installs everything "
                        "the tests need). -DKORVANE_BUILD_TESTS=OFF builds the library and "
                        "korvane-call alone.")
  endif()
endif()

# The benchmarks: native builds with Google Benchmark.
set(KORVANE_WITH_BENCHMARKS OFF)
if(KORVANE_BUILD_BENCHMARKS STREQUAL "AUTO")
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(benchmark QUIET)
    if(benchmark_FOUND)
      set(KORVANE_WITH_BENCHMARKS ON)
    else()
      list(APPEND korvane_left_out "the benchmarks")
      list(APPEND korvane_missing_names "Google Benchmark")
      list(APPEND korvane_missing_packages libbenchmark-dev)
    endif()
  endif()
elseif(KORVANE_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
  set(KORVANE_WITH_BENCHMARKS ON)
endif()

# One message for everything left out, naming the packages that would bring it in.
if(korvane_left_out)
  list(JOIN korvane_left_out " and " parts)
  list(JOIN korvane_missing_names ", " names)
  list(JOIN korvane_missing_packages " " packages)
  message(NOTICE
    "korvanelib: leaving out ${parts}, for want of ${names}; the library and korvane-call are "
    "built.\n"
    "  scripts/install-deps installs what the tests need (Debian: ${packages}).\n"
    "  -DKORVANE_BUILD_TESTS=OFF -DKORVANE_BUILD_BENCHMARKS=OFF leave them out without this "
    "message; =ON makes a missing package an error.")
endif()
