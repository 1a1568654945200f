// The clipboard on the Linux desktop, read through the standard tools without a shell:
// wl-paste on Wayland, xclip (else xsel) on X11. A Wayland display that cannot be reached gives
// way to X11 (XWayland, or a stale WAYLAND_DISPLAY in a terminal).
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/clipboard.hpp"
#include "desktop/process_linux.hpp"
#include "desktop/uri_list.hpp"

namespace korvane {
namespace {

// A frozen or hung owner (or a locked screen) never answers: the whole call gives up after this.
constexpr std::chrono::seconds kClipboardBound{2};

enum class Content { kText, kUriList };

// What one paste tool found.
enum class Pasted {
  kContent,      // the clipboard was read (its content may be empty)
  kUnreachable,  // no answer: no server, no seat, no tool, a failing tool or no answer in time
};

struct PasteTool {
  std::string path;
  std::vector<std::string> arguments;
  // What the tool says on its standard error when the clipboard was reached but holds nothing
  // of the kind asked for. The tools exit 1 both for that and for an unreachable display, so the
  // message tells them apart; any other failure counts as unreachable.
  std::vector<std::string_view> empty_messages;
};

std::optional<PasteTool> wayland_tool(Content content) {
  if (!process::environment_has("WAYLAND_DISPLAY")) {
    return std::nullopt;
  }
  auto path = process::find_program("wl-paste");
  if (!path) {
    return std::nullopt;
  }
  return PasteTool{
      std::move(*path),
      {"wl-paste", "--no-newline", "--type", content == Content::kText ? "text" : "text/uri-list"},
      {"No selection", "No suitable type of content copied"}};
}

std::optional<PasteTool> x11_tool(Content content) {
  if (!process::environment_has("DISPLAY")) {
    return std::nullopt;
  }
  if (auto path = process::find_program("xclip")) {
    std::vector<std::string> arguments = {"xclip", "-selection", "clipboard", "-o"};
    if (content == Content::kUriList) {
      arguments.insert(arguments.end(), {"-t", "text/uri-list"});
    }
    // "Error: target TARGET not available": no owner, or the owner lacks that form.
    return PasteTool{std::move(*path), std::move(arguments), {" not available"}};
  }
  // xsel reads text only: it cannot ask for the file list. It exits 0 on an empty clipboard.
  if (auto path = process::find_program("xsel"); path && content == Content::kText) {
    return PasteTool{std::move(*path), {"xsel", "--clipboard", "--output"}, {}};
  }
  return std::nullopt;
}

// Runs the tool within the deadline and keeps up to `limit` bytes of what it printed in
// `content`. A tool that does not end in time is killed with what it started, and reaped.
Pasted paste(const PasteTool& tool, std::chrono::steady_clock::time_point deadline,
             std::size_t limit, std::string& content) {
  const auto started = process::spawn(tool.path, tool.arguments, process::Output::kPipe,
                                      process::Streams::kCaptureError, process::Group::kOwn);
  if (!started) {
    return Pasted::kUnreachable;
  }
  process::RunningChild child(*started);
  std::string output;
  std::string error;
  const process::Drained drained = process::drain(child, deadline, output, limit, error);
  if (drained != process::Drained::kEnded) {
    // Out of time, or enough read: end the tool (and its helpers, such as wl-paste's cat).
    child.kill();
  }
  const std::optional<int> status = child.finish();
  if (drained == process::Drained::kTimedOut) {
    return Pasted::kUnreachable;
  }
  content = std::move(output);
  if (!content.empty() || status == 0 || (!status && error.empty())) {
    // Without a status (a host that ignores SIGCHLD) a tool that said nothing on its error
    // stream has succeeded: every failure of these tools is reported there.
    return Pasted::kContent;
  }
  for (const std::string_view message : tool.empty_messages) {
    if (error.find(message) != std::string::npos) {
      return Pasted::kContent;
    }
  }
  return Pasted::kUnreachable;
}

// The clipboard's content of that kind (up to `limit` bytes), or nothing when no clipboard
// could be reached within the bound: Wayland first, then X11.
std::optional<std::string> read_clipboard(Content content, std::size_t limit) {
  const auto deadline = std::chrono::steady_clock::now() + kClipboardBound;
  std::string read;
  for (const auto& tool : {wayland_tool(content), x11_tool(content)}) {
    if (tool && paste(*tool, deadline, limit, read) == Pasted::kContent) {
      return read;
    }
  }
  return std::nullopt;
}

}  // namespace

bool append_clipboard_text(BufferWriter& out) {
  // More than the buffer can take is never needed.
  const std::optional<std::string> text = read_clipboard(Content::kText, kBufferCapacity);
  if (!text) {
    return false;
  }
  // The text ends at its first NUL, as text does on the clipboard.
  out.write(std::string_view(*text).substr(0, text->find('\0')));
  return true;
}

bool append_clipboard_files(BufferWriter& out) {
  // The list is kept up to a bound well past what the buffer can take of its paths.
  constexpr std::size_t kListLimit = 8 * kBufferCapacity + 65536;
  const std::optional<std::string> list = read_clipboard(Content::kUriList, kListLimit);
  if (!list) {
    return false;
  }
  append_uri_list_paths(*list, out);
  return true;
}

}  // namespace korvane
