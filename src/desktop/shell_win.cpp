#include <windows.h>

#include <shellapi.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "desktop/shell.hpp"

namespace korvane {
namespace {

// A kernel handle, closed when the object ends.
class Handle {
 public:
  Handle() noexcept = default;
  explicit Handle(HANDLE handle) noexcept
      : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { close(); }

  [[nodiscard]] HANDLE get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }
  void close() noexcept {
    if (handle_ != nullptr) {
      CloseHandle(std::exchange(handle_, nullptr));
    }
  }

 private:
  HANDLE handle_ = nullptr;
};

// The command's standard input or error: a copy of the host's own handle `which` where the host
// has a valid one, else the null device (a desktop program has no standard handles). Not
// inheritable: only the command gets it, through its handle list.
Handle standard_stream(DWORD which, DWORD access) noexcept {
  const HANDLE own = GetStdHandle(which);
  HANDLE copy = nullptr;
  if (own != nullptr && own != INVALID_HANDLE_VALUE &&
      DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, FALSE,
                      DUPLICATE_SAME_ACCESS)) {
    return Handle(copy);
  }
  return Handle(CreateFileA("NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string environment_variable(const char* name) {
  std::string value;
  DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
  while (size != 0) {
    value.assign(size, '\0');
    const DWORD length = GetEnvironmentVariableA(name, value.data(), size);
    if (length < size) {
      value.resize(length);
      return value;
    }
    size = length;  // it grew meanwhile
  }
  return {};
}

// The command processor and the command line that runs `command` through it, as the C runtime's
// _popen builds them: "<COMSPEC> /c <command>", or cmd.exe of the system folder without COMSPEC.
struct ProcessorCall {
  std::string program;
  std::string command_line;
};

ProcessorCall processor_call(const char* command) {
  std::string processor = environment_variable("COMSPEC");
  std::string program = processor;
  if (processor.empty()) {
    processor = "cmd.exe";
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    program =
        length != 0 && length < MAX_PATH ? std::string(folder, length) + "\\cmd.exe" : processor;
  }
  return {std::move(program), processor + " /c " + command};
}

// Starts the command processor on `call` without a window, with exactly the three standard
// handles given and no other handle of the host. Its process, or nothing.
Handle start_processor(ProcessorCall& call, const HANDLE (&streams)[3]) {
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<unsigned char> storage(size);
  const auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
    return {};
  }
  // The handle list names the only handles the child inherits, so a command started at the
  // same moment by another call never holds this one's pipe open.
  HANDLE inherited[3] = {streams[0], streams[1], streams[2]};
  const bool listed = UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                                inherited, sizeof inherited, nullptr, nullptr);
  STARTUPINFOEXA startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = streams[0];
  startup.StartupInfo.hStdOutput = streams[1];
  startup.StartupInfo.hStdError = streams[2];
  startup.lpAttributeList = attributes;
  PROCESS_INFORMATION started{};
  bool created = false;
  if (listed) {
    // Listed handles must be inheritable; they are, from here until the caller closes them
    // right after this returns.
    for (const HANDLE stream : streams) {
      SetHandleInformation(stream, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    // CREATE_NO_WINDOW: a console program started by a host without a console (a desktop
    // program) would get a console window of its own.
    created = CreateProcessA(call.program.c_str(), call.command_line.data(), nullptr, nullptr, TRUE,
                             CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                             &startup.StartupInfo, &started);
  }
  DeleteProcThreadAttributeList(attributes);
  if (!created) {
    return {};
  }
  CloseHandle(started.hThread);
  return Handle(started.hProcess);
}

}  // namespace

bool open_with_shell(const char* target) {
  // ShellExecuteA reports a failure as a value of 32 or less.
  const HINSTANCE done = ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(done) > 32;
}

struct RunningCommand::Platform {
  Handle output;         // the read end of the command's standard output
  Handle process;        // the command processor
  bool held_cr = false;  // a CR that ended the previous read, not yet known to start a CRLF
};

RunningCommand::RunningCommand(std::unique_ptr<Platform> platform) noexcept
    : platform_(std::move(platform)) {}
RunningCommand::RunningCommand(RunningCommand&& other) noexcept = default;
RunningCommand& RunningCommand::operator=(RunningCommand&& other) noexcept = default;

RunningCommand::~RunningCommand() {
  if (platform_) {
    platform_->output.close();  // as _pclose: close the pipe, then wait for the command
    WaitForSingleObject(platform_->process.get(), INFINITE);
  }
}

// _popen is declined: the command processor it starts gets a console window of its own in a
// host without a console (a desktop program), which takes the focus and, when closed, ends the
// command; and its pipe end is inheritable while it starts, so a command started at the same
// moment on another thread inherits it and holds this call's output open until that command
// ends. Here the pipe's ends are never inheritable but by the one child, which runs without a
// window, and the command line is the one _popen passes.
std::optional<RunningCommand> RunningCommand::start(const char* command) {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, nullptr, 0)) {
    return std::nullopt;
  }
  Handle output(read_end);
  Handle child_output(write_end);
  Handle child_input = standard_stream(STD_INPUT_HANDLE, GENERIC_READ);
  Handle child_error = standard_stream(STD_ERROR_HANDLE, GENERIC_WRITE);
  if (!child_input || !child_error) {
    return std::nullopt;
  }
  ProcessorCall call = processor_call(command);
  Handle process =
      start_processor(call, {child_input.get(), child_output.get(), child_error.get()});
  // The child has its own copies now; ours go at once, so that the output ends with the command.
  child_input.close();
  child_output.close();
  child_error.close();
  if (!process) {
    return std::nullopt;
  }
  return RunningCommand(
      std::make_unique<Platform>(Platform{std::move(output), std::move(process)}));
}

std::size_t RunningCommand::read(char* block, std::size_t size) noexcept {
  Platform& p = *platform_;
  while (true) {
    // Read after block[0], which is kept for a CR held from the previous read. ReadFile returns
    // what the pipe has, so a CR at the end of one read may meet its LF at the start of the next.
    // The bytes come as they are: no end-of-file byte, no line-end translation by the runtime.
    DWORD count = 0;
    if (!ReadFile(p.output.get(), block + 1, static_cast<DWORD>(size - 1), &count, nullptr)) {
      // The end of the output (every writer has closed it), or a failed read.
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
    if (p.held_cr && count != 0) {
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
