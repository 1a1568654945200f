// Shell launch and command capture: what the platforms share, and what each platform supplies.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>

namespace korvane {

// Asks the desktop to open `target` (a web address, document, folder or program; never null
// or empty) and returns without waiting for what it opened. False when that could not be
// started, or when there is nothing that could be opened.
bool open_with_shell(const char* target);

// A command line running through the command processor, its standard output readable. The
// object owns the command: it ends by closing the output and waiting for the command to end.
class RunningCommand {
 public:
  // Starts `command` (never null). Nothing when it cannot be started. Once this returns, the
  // command line has been handed over: the caller may overwrite it.
  static std::optional<RunningCommand> start(const char* command);

  RunningCommand(RunningCommand&& other) noexcept;
  RunningCommand& operator=(RunningCommand&& other) noexcept;
  RunningCommand(const RunningCommand&) = delete;
  RunningCommand& operator=(const RunningCommand&) = delete;
  ~RunningCommand();

  // Reads the next bytes of the output into `block` (`size` at least 2), whatever signals
  // arrive meanwhile; line ends come as "\n" on every platform. 0 only at the end of the output.
  std::size_t read(char* block, std::size_t size) noexcept;

 private:
  struct Platform;  // the platform's handle of the command and its output
  explicit RunningCommand(std::unique_ptr<Platform> platform) noexcept;

  std::unique_ptr<Platform> platform_;
};

}  // namespace korvane
