// Starting the desktop's helper programs on Linux: posix_spawn with an argument vector, no
// descriptor of the host passed on, and every child waited for.
//
// popen and system are declined: they pass every descriptor the host left open to the child,
// keep the host's blocked and ignored signals in it, read every argument through a shell, and
// report a failure from pclose in a host that ignores SIGCHLD. Here each child gets an argument
// vector, no descriptor beyond 0, 1 and 2, and default signals; a lost status is handled where
// the child is waited for; and posix_spawn copies no page tables of a large host.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace korvane::process {

// Where a child's standard output goes.
enum class Output {
  kPipe,     // a pipe the caller reads (Child::output)
  kDiscard,  // /dev/null
};

// Where a child's standard input and standard error come from and go.
enum class Streams {
  kQuiet,         // standard input from /dev/null, standard error to /dev/null
  kInherit,       // the host's own standard input and standard error
  kCaptureError,  // standard input from /dev/null, standard error to a pipe (Child::error)
};

// Whether the child stays in the host's process group or leads one of its own, so that it can
// be ended together with the programs it starts.
enum class Group { kHost, kOwn };

struct Child {
  pid_t pid = -1;
  int output = -1;  // read end of the output pipe (close-on-exec), or -1
  int error = -1;   // read end of the error pipe (close-on-exec), or -1
  bool own_group = false;
};

// Starts the program at `path` (a full path) with `arguments` (argument 0 first). The child
// gets default signal dispositions and an empty signal mask, and no descriptor beyond 0, 1, 2.
// Nothing when it cannot be started.
std::optional<Child> spawn(const std::string& path, const std::vector<std::string>& arguments,
                           Output output, Streams streams, Group group = Group::kHost);

// Waits for the child `pid` and reaps it. Its exit status, or nothing when it did not exit
// normally or when its status is lost: a host that ignores SIGCHLD (or reaps children itself)
// leaves waitpid with ECHILD once the child has ended.
std::optional<int> wait_for(pid_t pid) noexcept;

// A started child whose output pipe is closed and which is waited for when the object ends,
// also when an exception leaves the scope.
class RunningChild {
 public:
  explicit RunningChild(Child child) noexcept : child_(child) {}
  RunningChild(const RunningChild&) = delete;
  RunningChild& operator=(const RunningChild&) = delete;
  ~RunningChild() { finish(); }

  [[nodiscard]] int output() const noexcept { return child_.output; }
  [[nodiscard]] int error() const noexcept { return child_.error; }

  // Ends the child at once (SIGKILL), with its whole process group when it leads one. It still
  // has to be reaped: finish() does that.
  void kill() noexcept;

  // Closes the output pipe (the child sees its reader gone) and waits for the child: its exit
  // status as wait_for gives it. Once only; later calls give nothing.
  std::optional<int> finish() noexcept;

 private:
  Child child_;
  bool finished_ = false;
};

// How draining a child's pipes ended.
enum class Drained {
  kEnded,     // both pipes reached their end
  kEnough,    // the output reached its limit: the rest was not read
  kTimedOut,  // the deadline passed first
};

// Reads the child's output pipe into `output` (at most `output_limit` bytes) and its error pipe,
// if any, into `error` (the first 1 KiB is kept, the rest dropped) until both pipes end, the
// output reaches its limit or `deadline` passes. Signals that interrupt the wait are no end.
Drained drain(const RunningChild& child, std::chrono::steady_clock::time_point deadline,
              std::string& output, std::size_t output_limit, std::string& error);

// Reads up to `size` bytes from `fd` (retrying on EINTR). 0 at the end or on an error.
std::size_t read_some(int fd, char* block, std::size_t size) noexcept;

// Closes `fd`, ignoring EINTR.
void close_fd(int fd) noexcept;

// The full path of the executable `name` found along PATH, or nothing.
std::optional<std::string> find_program(const char* name);

// Whether the environment variable `name` is set to a non-empty text.
bool environment_has(const char* name) noexcept;

}  // namespace korvane::process
