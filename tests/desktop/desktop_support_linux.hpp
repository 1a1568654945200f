// Linux-only helpers of the desktop tests.
#pragma once

#include <future>
#include <string>
#include <string_view>

#include "desktop/desktop_support.hpp"

namespace korvane::test {

// `text` quoted for /bin/sh.
std::string shell_quote(std::string_view text);

// The full path of the program `name` along PATH, or the empty text.
std::string program_path(const char* name);

// The program `name` as found along PATH when the tests started, quoted for /bin/sh (tests
// narrow PATH to keep programs from the library, not from themselves).
std::string find_tool(const char* name);

// Runs the shell command `command` and returns every byte it printed.
std::string bytes_of(const std::string& command);

// Offers `bytes` on the clipboard as `target` (xclip serves them in the background).
void offer_clipboard(const std::string& target, std::string_view bytes);

// `caption` as an anchored xdotool pattern (an extended regular expression): the whole title.
std::string exact_pattern(std::string_view caption);

// As answer_box, for the first window whose title matches the extended regular expression
// `pattern`.
std::future<BoxSeen> answer_window(const std::string& pattern, Press press);

}  // namespace korvane::test
