// The clipboard on the Linux desktop, read through the standard tools without a shell:
// wl-paste on Wayland, xclip (else xsel) on X11.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/clipboard.hpp"
#include "desktop/process_linux.hpp"
#include "desktop/uri_list.hpp"

namespace korvane {
namespace {

enum class Content { kText, kUriList };

// The command that prints the clipboard's content of that kind, or nothing when there is no
// display or no tool that can.
std::optional<std::vector<std::string>> paste_command(Content content, std::string& path) {
  const bool text = content == Content::kText;
  if (process::environment_has("WAYLAND_DISPLAY")) {
    if (auto found = process::find_program("wl-paste")) {
      path = std::move(*found);
      return std::vector<std::string>{"wl-paste", "--no-newline", "--type",
                                      text ? "text" : "text/uri-list"};
    }
  }
  if (process::environment_has("DISPLAY")) {
    if (auto found = process::find_program("xclip")) {
      path = std::move(*found);
      std::vector<std::string> command = {"xclip", "-selection", "clipboard", "-o"};
      if (!text) {
        command.insert(command.end(), {"-t", "text/uri-list"});
      }
      return command;
    }
    // xsel reads text only: it cannot ask for the file list.
    if (auto found = process::find_program("xsel"); found && text) {
      path = std::move(*found);
      return std::vector<std::string>{"xsel", "--clipboard", "--output"};
    }
  }
  return std::nullopt;
}

// Runs the paste tool and hands each piece of its output to `piece`; the output is read to its
// end whatever `piece` does with it, and the tool is waited for. False when no tool could run.
template <typename Piece>
bool paste(Content content, Piece&& piece) {
  std::string path;
  const auto command = paste_command(content, path);
  if (!command) {
    return false;
  }
  const auto started =
      process::spawn(path, *command, process::Output::kPipe, process::Streams::kQuiet);
  if (!started) {
    return false;
  }
  process::RunningChild child(*started);
  char block[4096];
  while (const std::size_t count = process::read_some(child.output(), block, sizeof block)) {
    piece(std::string_view(block, count));
  }
  child.finish();
  return true;
}

}  // namespace

bool append_clipboard_text(BufferWriter& out) {
  // The text ends at its first NUL, as text does on the clipboard.
  bool ended = false;
  return paste(Content::kText, [&](std::string_view piece) {
    if (ended || out.full()) {
      return;
    }
    const std::size_t nul = piece.find('\0');
    ended = nul != std::string_view::npos;
    out.write(piece.substr(0, nul));
  });
}

bool append_clipboard_files(BufferWriter& out) {
  // The list is kept up to a bound well past what the buffer can take of its paths; the rest of
  // a longer list is read and dropped.
  constexpr std::size_t kListLimit = 8 * kBufferCapacity + 65536;
  std::string list;
  const bool pasted = paste(Content::kUriList, [&](std::string_view piece) {
    if (list.size() < kListLimit) {
      list.append(piece.substr(0, kListLimit - list.size()));
    }
  });
  if (pasted) {
    append_uri_list_paths(list, out);
  }
  return pasted;
}

}  // namespace korvane
