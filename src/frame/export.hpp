// What every export shares: the result values and the guard that keeps anything from escaping.
#pragma once

#include <korvanelib.h>

#include <string_view>

namespace korvane {

inline constexpr float kFalse = KORVANE_FALSE;
inline constexpr float kTrue = KORVANE_TRUE;

inline constexpr float result(bool done) noexcept { return done ? kTrue : kFalse; }

// The text argument, with a null pointer read as the empty text.
inline std::string_view text_argument(const char* text) noexcept {
  return text == nullptr ? std::string_view() : std::string_view(text);
}

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
