// Linux-only helpers of the desktop tests.
#pragma once

#include <string>
#include <string_view>

namespace korvane::test {

// `text` quoted for /bin/sh.
std::string shell_quote(std::string_view text);

// Offers `bytes` on the clipboard as `target` (xclip serves them in the background).
void offer_clipboard(const std::string& target, std::string_view bytes);

}  // namespace korvane::test
