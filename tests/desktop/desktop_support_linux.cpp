// The desktop tests' platform side on Linux: xclip fills the clipboard, xdotool answers zenity.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "desktop/desktop_support.hpp"
#include "desktop/desktop_support_linux.hpp"

namespace korvane::test {
std::string shell_quote(std::string_view text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

std::string program_path(const char* name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/bin:/bin";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string candidate = std::string(rest.substr(0, colon)) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
  }
  return "";
}

std::string find_tool(const char* name) {
  const std::string path = program_path(name);
  return path.empty() ? std::string(name) : shell_quote(path);
}

std::string bytes_of(const std::string& command) {
  std::string output;
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char block[4096];
    while (const std::size_t count = std::fread(block, 1, sizeof block, pipe)) {
      output.append(block, count);
    }
    pclose(pipe);
  }
  return output;
}

namespace {

// The tools the tests drive, found along PATH as it was when the program started: some tests
// narrow PATH to keep programs from the library.

const std::string kTimeoutTool = find_tool("timeout");
const std::string kXdotoolTool = find_tool("xdotool");
const std::string kXclipTool = find_tool("xclip");

const std::string& tool(std::string_view name) {
  return name == "timeout" ? kTimeoutTool : name == "xdotool" ? kXdotoolTool : kXclipTool;
}

}  // namespace

// Offers `bytes` on the clipboard as `target`. xclip stays in the background to serve them
// (until something else takes the clipboard); its streams must not keep the test's open.
void offer_clipboard(const std::string& target, std::string_view bytes) {
  const TempFile data("clipboard", bytes);
  const std::string command = tool("xclip") + " -selection clipboard -t " + target + " -i " +
                              shell_quote(data.path()) + " </dev/null >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  // xclip may return before its background copy owns the clipboard: wait until the clipboard
  // hands back these very bytes.
  const std::string check =
      tool("xclip") + " -selection clipboard -o -t " + target + " 2>/dev/null";
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (bytes_of(check) == bytes) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ADD_FAILURE() << "the clipboard does not offer the test's " << target;
}

// The caption as an anchored xdotool pattern (an extended regular expression).
std::string exact_pattern(std::string_view caption) {
  std::string pattern = "^";
  for (const char c : caption) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) {
      pattern += '\\';
    }
    pattern += c;
  }
  return pattern + "$";
}

bool clipboard_available() { return has_display(); }

void set_clipboard_text(std::string_view bytes) { offer_clipboard("UTF8_STRING", bytes); }

void set_clipboard_files(const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& path : paths) {
    list += "file://";
    for (const char c : path) {
      const auto byte = static_cast<unsigned char>(c);
      if (std::isalnum(byte) || std::string_view("/-._~").find(c) != std::string_view::npos) {
        list += c;
      } else {
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
        list += escaped;
      }
    }
    list += "\r\n";
  }
  offer_clipboard("text/uri-list", list);
}

std::vector<std::string> example_paths() {
  return {"/home/user/report.txt", "/tmp/two words/50% off [final].pdf"};
}

std::future<BoxSeen> answer_box(const char* caption, Press press) {
  return answer_window(exact_pattern(caption), press);
}

std::future<BoxSeen> answer_window(const std::string& pattern, Press press) {
  return std::async(std::launch::async, [pattern, press] {
    BoxSeen seen;
    const std::string found =
        bytes_of(tool("timeout") + " 30 " + tool("xdotool") +
                 " search --sync --onlyvisible --name " + shell_quote(pattern) + " 2>/dev/null");
    const std::string id = found.substr(0, found.find('\n'));
    if (id.empty()) {
      return seen;
    }
    seen.found = true;
    // Yes has the focus once the dialog has settled (a moment after it shows); Tab moves it to
    // No.
    const char* keys = press == Press::kNo       ? "Tab Return"
                       : press == Press::kEscape ? "Escape"
                                                 : "Return";
    const std::string command = tool("xdotool") + " windowfocus --sync " + id +
                                " sleep 0.3 key --clearmodifiers " + keys + " >/dev/null 2>&1";
    // Not checked: with SIGCHLD ignored (one of the tests) system() cannot tell the status.
    static_cast<void>(std::system(command.c_str()));
    return seen;
  });
}

const char* const kTwoLinesCommand = "echo one&& echo two";
const char* const kSilentCommand = ":";
const char* const kMissingCommand = "korvane_no_such_program --now";

std::string print_file_command(const std::string& path) { return "cat " + shell_quote(path); }

std::string print_bytes_command(const std::string& escaped) {
  std::string command = shell_quote(helper_program("print_bytes"));
  std::string_view rest = escaped;
  while (!rest.empty()) {
    const std::size_t space = rest.find(' ');
    command += " " + shell_quote(rest.substr(0, space));
    rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
  }
  return command;
}

}  // namespace korvane::test
