// Shell launch and command capture on Linux: xdg-open, detached, and /bin/sh with a read pipe.
#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

#include "desktop/process_linux.hpp"
#include "desktop/shell.hpp"
#include "desktop/uri_list.hpp"
#include "frame/c_locale.hpp"

namespace korvane {
namespace {

bool exists(const char* path) noexcept {
  struct stat info;
  return stat(path, &info) == 0;
}

// Whether `text` starts with a URI scheme and its colon (a letter, then letters, digits, '+',
// '-' or '.'), as xdg-open takes it.
bool has_scheme(std::string_view text) noexcept {
  if (text.empty() || !is_c_alpha(text[0])) {
    return false;
  }
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':') {
      return true;
    }
    if (!is_c_alpha(c) && !is_c_digit(c) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return false;
}

// What xdg-open is given for `target`: an existing path, spelled so that xdg-open takes it
// neither for an option nor for an address, or an address with a scheme. Nothing when there
// is nothing to open: no such path, no scheme, or a file: address of a missing local file.
std::optional<std::string> opener_argument(const char* target) {
  const std::string_view text = target;
  if (exists(target)) {
    if (text.front() != '/' && (text.front() == '-' || has_scheme(text))) {
      return "./" + std::string(text);
    }
    return std::string(text);
  }
  if (!has_scheme(text)) {
    return std::nullopt;
  }
  std::string path;
  if (file_uri_path(text, path) && !exists(path.c_str())) {
    return std::nullopt;
  }
  return std::string(text);
}

}  // namespace

bool open_with_shell(const char* target) {
  const auto argument = opener_argument(target);
  if (!argument) {
    return false;
  }
  const auto opener = process::find_program("xdg-open");
  const auto detacher = process::find_program("setsid");
  if (!opener || !detacher) {
    return false;
  }
  // setsid --fork starts xdg-open in a session of its own as a child of its own and ends at once:
  // xdg-open and what it opens are not the host's children, leave no zombie and are not waited
  // for. The target is one argument, never read by a shell.
  const auto child = process::spawn(*detacher, {"setsid", "--fork", *opener, *argument},
                                    process::Output::kDiscard, process::Streams::kQuiet);
  if (!child) {
    return false;
  }
  const std::optional<int> status = process::wait_for(child->pid);
  // Without a status (a host that ignores SIGCHLD) the start is taken as made.
  return !status || *status == 0;
}

struct RunningCommand::Platform {
  explicit Platform(process::Child started) noexcept : child(started) {}
  process::RunningChild child;
};

RunningCommand::RunningCommand(std::unique_ptr<Platform> platform) noexcept
    : platform_(std::move(platform)) {}
RunningCommand::RunningCommand(RunningCommand&& other) noexcept = default;
RunningCommand& RunningCommand::operator=(RunningCommand&& other) noexcept = default;
RunningCommand::~RunningCommand() = default;  // RunningChild closes the pipe and waits

std::optional<RunningCommand> RunningCommand::start(const char* command) {
  // The command line is the one text the library hands to a shell, on purpose.
  const auto child = process::spawn("/bin/sh", {"sh", "-c", command}, process::Output::kPipe,
                                    process::Streams::kInherit);
  if (!child) {
    return std::nullopt;
  }
  return RunningCommand(std::make_unique<Platform>(*child));
}

std::size_t RunningCommand::read(char* block, std::size_t size) noexcept {
  // read(2), retried on EINTR: the C library's line reader drops what it had read of a line
  // when a signal interrupts it (hosts install handlers without SA_RESTART).
  return process::read_some(platform_->child.output(), block, size);
}

}  // namespace korvane
