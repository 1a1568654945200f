// The clipboard: what the platforms share, and what each platform supplies.
#pragma once

#include "frame/buffer.hpp"

namespace korvane {

// Appends the clipboard's text to `out`, up to its first NUL. False when the clipboard cannot
// be reached (then nothing is appended); true otherwise, also when it holds no text.
bool append_clipboard_text(BufferWriter& out);

// Appends the path of each copied file to `out`, each followed by a line feed. False when the
// clipboard cannot be reached (then nothing is appended); true otherwise, also when it holds no
// files.
bool append_clipboard_files(BufferWriter& out);

}  // namespace korvane
