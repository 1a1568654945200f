// OpenURL and _ShellExecute.
#include "desktop/shell.hpp"

#include <cstring>
#include <optional>
#include <string_view>

#include "frame/buffer.hpp"
#include "frame/export.hpp"

using korvane::kFalse;
using korvane::kTrue;

// Opens the text through the desktop. 0 for a null or empty text and when the desktop could
// not start opening it; it never waits for what it opened.
extern "C" KORVANE_API float KORVANE_CALL OpenURL(const char* text, double, char*, int) {
  return korvane::guarded([&] {
    if (text == nullptr || *text == '\0') {
      return kFalse;
    }
    return korvane::result(korvane::open_with_shell(text));
  });
}

// Runs the buffer's command line and replaces it with what the command prints on its standard
// output. The output is read in pieces of a line (at most 4095 bytes) until it ends, also once
// the buffer is full, so the command never stalls on a full pipe; each piece is appended up to
// its first NUL. 0, with the command line left in the buffer, only when the command cannot be
// started (or the buffer holds no command line).
extern "C" KORVANE_API float KORVANE_CALL ShellExecuteCapture(const char*, double, char* buffer,
                                                              int) {
  return korvane::guarded([&] {
    if (!korvane::buffer_text(buffer)) {
      return kFalse;
    }
    const std::optional<korvane::CommandPipe> pipe = korvane::start_command(buffer);
    if (!pipe) {
      return kFalse;
    }
    korvane::BufferWriter out = korvane::BufferWriter::overwrite(buffer);
    char block[4096];
    while (korvane::next_piece(*pipe, block, static_cast<int>(sizeof block))) {
      if (!out.full()) {
        out.write(std::string_view(block, std::strlen(block)));
      }
    }
    korvane::finish_command(*pipe);
    return kTrue;
  });
}
