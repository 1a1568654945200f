# Sanitizers for every target of the build (the library, its tests, tools and fuzzers), and
# libFuzzer's coverage instrumentation for the fuzzer build.
set(KORVANE_SANITIZE "" CACHE STRING
    "Sanitizers for every target, a list such as address;undefined or thread (empty: none)")
option(KORVANE_BUILD_FUZZERS "Build the libFuzzer targets in fuzz/ (clang only)" OFF)

if(KORVANE_SANITIZE)
  list(JOIN KORVANE_SANITIZE "," sanitizers)
  # Any finding stops the program: undefined behaviour fails a test instead of printing a note.
  add_compile_options(-fsanitize=${sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${sanitizers})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC's flow analysis sees the sanitizers' instrumentation and reports variables in
    # libstdc++'s own headers (std::regex, std::function) as maybe uninitialized; the plain
    # builds keep that warning.
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()

if(KORVANE_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KORVANE_BUILD_FUZZERS needs clang (libFuzzer)")
  endif()
  # Every object gets coverage feedback; only the fuzzer programs link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
