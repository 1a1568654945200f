#include <windows.h>

#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "desktop/shell.hpp"

namespace korvane {

bool open_with_shell(const char* target) {
  // ShellExecuteA reports a failure as a value of 32 or less.
  const HINSTANCE done = ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(done) > 32;
}

struct RunningCommand::Platform {
  std::FILE* stream;
  int fd;
  bool held_cr = false;  // a CR that ended the previous read, not yet known to start a CRLF
};

RunningCommand::RunningCommand(std::unique_ptr<Platform> platform) noexcept
    : platform_(std::move(platform)) {}
RunningCommand::RunningCommand(RunningCommand&& other) noexcept = default;
RunningCommand& RunningCommand::operator=(RunningCommand&& other) noexcept = default;

RunningCommand::~RunningCommand() {
  if (platform_) {
    _pclose(platform_->stream);  // closes the pipe and waits for the command
  }
}

std::optional<RunningCommand> RunningCommand::start(const char* command) {
  // Binary mode: the C runtime's text mode would take a 0x1A byte for the end of the output.
  // Line ends are converted by read() instead.
  std::FILE* stream = _popen(command, "rb");
  if (stream == nullptr) {
    return std::nullopt;
  }
  return RunningCommand(std::make_unique<Platform>(Platform{stream, _fileno(stream)}));
}

std::size_t RunningCommand::read(char* block, std::size_t size) noexcept {
  Platform& p = *platform_;
  while (true) {
    // Read after block[0], which is kept for a CR held from the previous read. _read returns
    // what the pipe has, so a CR at the end of one read may meet its LF at the start of the next.
    const int count = _read(p.fd, block + 1, static_cast<unsigned>(size - 1));
    if (count <= 0) {
      if (p.held_cr) {
        p.held_cr = false;
        block[0] = '\r';
        return 1;
      }
      return 0;
    }
    const char* in = block + 1;
    const char* const end = in + count;
    char* out = block;  // stays behind `in`: the conversion only shrinks
    if (p.held_cr) {
      p.held_cr = false;
      if (*in != '\n') {
        *out++ = '\r';
      }
    }
    while (in != end) {
      const char c = *in++;
      if (c == '\r') {
        if (in == end) {
          p.held_cr = true;
          break;
        }
        if (*in == '\n') {
          continue;  // CR LF becomes LF; a lone CR stays
        }
      }
      *out++ = c;
    }
    if (out != block) {
      return static_cast<std::size_t>(out - block);
    }
  }
}

}  // namespace korvane
