# GoogleTest: Debian's package on Linux; for the Windows cross-build, Debian's GoogleTest
# sources compiled with the cross compiler.
if(CMAKE_CROSSCOMPILING AND WIN32)
  set(KORVANE_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory("${KORVANE_GOOGLETEST_SOURCE}" "${PROJECT_BINARY_DIR}/googletest"
                   EXCLUDE_FROM_ALL SYSTEM)
  # GoogleTest's own build defines the GTest::gtest and GTest::gtest_main aliases.
else()
  find_package(GTest REQUIRED)
endif()
