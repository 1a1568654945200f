// Shell launch and command capture: what the platforms share, and what each platform supplies.
#pragma once

#include <cstdio>
#include <optional>

namespace korvane {

// Asks the desktop to open `target` (a web address, document, folder or program; never null
// or empty) and returns without waiting for what it opened. False when that could not be
// started.
bool open_with_shell(const char* target);

// A command line started through the command processor, its standard output readable as a
// stream in pieces of a line.
struct CommandPipe {
  std::FILE* output;
  long long process;  // the platform's handle of the command, where the stream has none
};

// Starts `command` (never null). Nothing when it cannot be started. Once this returns, the
// command line has been handed over: the caller may overwrite it.
std::optional<CommandPipe> start_command(const char* command);

// Reads the next piece of the output into `block` (NUL-terminated): a line, or as much of it as
// fits. False at the end of the output.
bool next_piece(const CommandPipe& pipe, char* block, int size) noexcept;

// Closes the stream and waits for the command to end; its exit status is not used.
void finish_command(const CommandPipe& pipe) noexcept;

}  // namespace korvane
