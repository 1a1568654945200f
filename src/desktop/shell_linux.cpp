// Shell launch and command capture on Linux: xdg-open, detached, and /bin/sh with a read pipe.
#include <errno.h>

#include <cstdio>
#include <string>
#include <vector>

#include "desktop/process_linux.hpp"
#include "desktop/shell.hpp"

namespace korvane {

bool open_with_shell(const char* target) {
  const auto opener = process::find_program("xdg-open");
  const auto detacher = process::find_program("setsid");
  if (!opener || !detacher) {
    return false;
  }
  // setsid --fork starts xdg-open in a session of its own as a child of its own and ends at once:
  // xdg-open and what it opens are not the host's children, leave no zombie and are not waited
  // for. The target is one argument, never read by a shell.
  const auto child = process::spawn(*detacher, {"setsid", "--fork", *opener, target},
                                    process::Output::kDiscard, process::Streams::kQuiet);
  if (!child) {
    return false;
  }
  const std::optional<int> status = process::wait_for(child->pid);
  // Without a status (a host that ignores SIGCHLD) the start is taken as made.
  return !status || *status == 0;
}

std::optional<CommandPipe> start_command(const char* command) {
  // The command line is the one text the library hands to a shell, on purpose.
  const auto child = process::spawn("/bin/sh", {"sh", "-c", command}, process::Output::kPipe,
                                    process::Streams::kInherit);
  if (!child) {
    return std::nullopt;
  }
  std::FILE* output = fdopen(child->output, "r");
  if (output == nullptr) {
    process::close_fd(child->output);
    process::wait_for(child->pid);
    return std::nullopt;
  }
  return CommandPipe{output, child->pid};
}

bool next_piece(const CommandPipe& pipe, char* block, int size) noexcept {
  while (std::fgets(block, size, pipe.output) == nullptr) {
    // A signal that interrupts the read is no end of the output.
    if (!std::ferror(pipe.output) || errno != EINTR) {
      return false;
    }
    std::clearerr(pipe.output);
  }
  return true;
}

void finish_command(const CommandPipe& pipe) noexcept {
  std::fclose(pipe.output);
  process::wait_for(static_cast<pid_t>(pipe.process));
}

}  // namespace korvane
