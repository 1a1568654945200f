// What every export shares: the result values and the guard that keeps anything from escaping.
#pragma once

#include <korvanelib.h>

#include <string_view>

// Defines an export: C linkage, exported under its exact name with the platform's calling
// convention, and the one signature every export shares. Each export reads only the arguments
// its documentation names; the others stay unused.
//
// A body that can throw (one that allocates, or calls the platform's desktop services) runs
// under korvane::guarded(); the other bodies call only noexcept code.
#define KORVANE_EXPORT(name)                                             \
  extern "C" KORVANE_API float KORVANE_CALL name(                        \
      [[maybe_unused]] const char* text, [[maybe_unused]] double number, \
      [[maybe_unused]] char* buffer, [[maybe_unused]] int fourth)

namespace korvane {

inline constexpr float kFalse = KORVANE_FALSE;
inline constexpr float kTrue = KORVANE_TRUE;

inline constexpr float result(bool done) noexcept { return done ? kTrue : kFalse; }

// The text argument, never null: a null pointer reads as the empty text. Every export that
// reads its text goes through here (Time_Format alone gives null a meaning of its own).
inline const char* text_argument(const char* text) noexcept { return text == nullptr ? "" : text; }

// Runs an export's body so that no exception crosses into the host: any exception (an
// allocation failure included) ends the call with the result 0.
template <typename Body>
float guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return kFalse;
  }
}

}  // namespace korvane
