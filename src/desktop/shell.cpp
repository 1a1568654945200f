// OpenURL and _ShellExecute.
#include "desktop/shell.hpp"

#include <optional>
#include <string_view>

#include "frame/buffer.hpp"
#include "frame/export.hpp"

namespace korvane {
namespace {

// Appends a command's output to the buffer piece by piece: a piece is a line (with its line
// feed) or, of a longer line, 4095 bytes. A NUL byte drops the rest of its piece. Bytes arrive
// in blocks of any size; a piece may span blocks.
class PieceAppender {
 public:
  explicit PieceAppender(BufferWriter& out) noexcept : out_(out) {}

  void add(std::string_view bytes) noexcept {
    while (!bytes.empty() && !out_.full()) {
      std::string_view part = bytes.substr(0, kPieceSize - piece_length_);
      const std::size_t line_feed = part.find('\n');
      if (line_feed != std::string_view::npos) {
        part = part.substr(0, line_feed + 1);
      }
      bytes.remove_prefix(part.size());
      piece_length_ += part.size();
      if (!dropping_) {
        const std::size_t nul = part.find('\0');
        dropping_ = nul != std::string_view::npos;
        out_.write(part.substr(0, nul));
      }
      if (line_feed != std::string_view::npos || piece_length_ == kPieceSize) {
        piece_length_ = 0;
        dropping_ = false;
      }
    }
  }

 private:
  static constexpr std::size_t kPieceSize = 4095;

  BufferWriter& out_;
  std::size_t piece_length_ = 0;
  bool dropping_ = false;  // a NUL came in this piece: the rest of it is dropped
};

}  // namespace
}  // namespace korvane

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
// output. The output is read until it ends, also once the buffer is full, so the command never
// stalls on a full pipe. 0, with the command line left in the buffer, only when the command
// cannot be started (or the buffer holds no command line).
KORVANE_EXPORT(ShellExecuteCapture) {
  return korvane::guarded([&] {
    if (!korvane::buffer_text(buffer)) {
      return korvane::kFalse;
    }
    std::optional<korvane::RunningCommand> command = korvane::RunningCommand::start(buffer);
    if (!command) {
      return korvane::kFalse;
    }
    korvane::BufferWriter out = korvane::BufferWriter::overwrite(buffer);
    korvane::PieceAppender pieces(out);
    char block[16384];
    while (const std::size_t count = command->read(block, sizeof block)) {
      pieces.add(std::string_view(block, count));
    }
    return korvane::kTrue;  // the command is waited for as it goes out of scope
  });
}
