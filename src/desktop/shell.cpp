// OpenURL and _ShellExecute.
#include "desktop/shell.hpp"

#include <cstring>
#include <optional>
#include <string_view>

#include "frame/buffer.hpp"
#include "frame/export.hpp"

// Opens the text through the desktop. 0 for a null or empty text and when the desktop could
// not start opening it; it never waits for what it opened.
KORVANE_EXPORT(OpenURL) {
  return korvane::guarded([&] {
    const char* target = korvane::text_argument(text);
    if (*target == '\0') {
      return korvane::kFalse;
    }
    return korvane::result(korvane::open_with_shell(target));
  });
}

// Runs the buffer's command line and replaces it with what the command prints on its standard
// output. The output is read in pieces of a line (at most 4095 bytes) until it ends, also once
// the buffer is full, so the command never stalls on a full pipe; each piece is appended up to
// its first NUL. 0, with the command line left in the buffer, only when the command cannot be
// started (or the buffer holds no command line).
KORVANE_EXPORT(ShellExecuteCapture) {
  return korvane::guarded([&] {
    if (!korvane::buffer_text(buffer)) {
      return korvane::kFalse;
    }
    const std::optional<korvane::CommandPipe> pipe = korvane::start_command(buffer);
    if (!pipe) {
      return korvane::kFalse;
    }
    korvane::BufferWriter out = korvane::BufferWriter::overwrite(buffer);
    char block[4096];
    while (korvane::next_piece(*pipe, block, static_cast<int>(sizeof block))) {
      if (!out.full()) {
        out.write(std::string_view(block, std::strlen(block)));
      }
    }
    korvane::finish_command(*pipe);
    return korvane::kTrue;
  });
}
