// Windows-only helpers of the desktop tests.
#pragma once

#include <string>
#include <vector>

#include "desktop/desktop_support.hpp"

namespace korvane::test {

// Puts the files `paths` on the clipboard as a file list in UTF-16, as file managers do.
void set_clipboard_wide_files(const std::vector<std::wstring>& paths);

}  // namespace korvane::test
