#include <windows.h>

#include <shellapi.h>

#include <cstdio>

#include "desktop/shell.hpp"

namespace korvane {

bool open_with_shell(const char* target) {
  // ShellExecuteA reports a failure as a value of 32 or less.
  const HINSTANCE done = ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(done) > 32;
}

std::optional<CommandPipe> start_command(const char* command) {
  std::FILE* output = _popen(command, "r");
  if (output == nullptr) {
    return std::nullopt;
  }
  return CommandPipe{output, 0};
}

bool next_piece(const CommandPipe& pipe, char* block, int size) noexcept {
  return std::fgets(block, size, pipe.output) != nullptr;
}

void finish_command(const CommandPipe& pipe) noexcept { _pclose(pipe.output); }

}  // namespace korvane
