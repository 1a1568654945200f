// Linux-only helpers of the desktop tests.
#pragma once

#include <future>
#include <string>
#include <string_view>

#include "desktop/desktop_support.hpp"

namespace korvane::test {

// `text` quoted for /bin/sh.
std::string shell_quote(std::string_view text);

// Offers `bytes` on the clipboard as `target` (xclip serves them in the background).
void offer_clipboard(const std::string& target, std::string_view bytes);

// `caption` as an anchored xdotool pattern (an extended regular expression): the whole title.
std::string exact_pattern(std::string_view caption);

// As answer_box, for the first window whose title matches the extended regular expression
// `pattern`.
std::future<BoxSeen> answer_window(const std::string& pattern, Press press);

}  // namespace korvane::test
