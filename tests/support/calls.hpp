// Calls into korvanelib for the tests, through the library loaded as a host loads it.
#pragma once

#include <korvanelib.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvane::test {

// The export `name` of the library under test (KORVANE_LIBRARY, else the one beside the
// test program). Fails the test when the library or the export is missing.
korvane_script_function find_export(const char* name);

// What a call left: its result and the buffer's text.
struct Outcome {
  float result;
  std::string buffer;
};

// Calls `name` with a buffer of exactly KORVANE_BUFFER_CAPACITY bytes holding `buffer` (cut to
// fit), followed by guard bytes. Fails the test when the call wrote past the capacity or left
// no NUL within it.
Outcome call(const char* name, const char* text, double number = 0.0, std::string_view buffer = {});

// Loads a fresh handle of the library under test, calls `name` and unloads it again.
Outcome call_in_fresh_load(const char* name, const char* text, double number);

}  // namespace korvane::test
