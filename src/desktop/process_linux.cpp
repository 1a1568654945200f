#include "desktop/process_linux.hpp"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace korvane::process {
namespace {

// Owns what posix_spawn needs for one start and releases it in reverse order.
class SpawnSetup {
 public:
  SpawnSetup() = default;
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    if (attributes_ready_) {
      posix_spawnattr_destroy(&attributes);
    }
    if (actions_ready_) {
      posix_spawn_file_actions_destroy(&actions);
    }
  }

  bool init() noexcept {
    actions_ready_ = posix_spawn_file_actions_init(&actions) == 0;
    attributes_ready_ = actions_ready_ && posix_spawnattr_init(&attributes) == 0;
    return attributes_ready_;
  }

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;

 private:
  bool actions_ready_ = false;
  bool attributes_ready_ = false;
};

}  // namespace

std::optional<Child> spawn(const std::string& path, const std::vector<std::string>& arguments,
                           Output output, Streams streams, Group group) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);

  int pipe_ends[2] = {-1, -1};
  int error_ends[2] = {-1, -1};
  const auto close_pipe = [&] {
    for (int* end : {&pipe_ends[0], &pipe_ends[1], &error_ends[0], &error_ends[1]}) {
      if (*end != -1) {
        close_fd(*end);
        *end = -1;
      }
    }
  };
  if ((output == Output::kPipe && pipe2(pipe_ends, O_CLOEXEC) != 0) ||
      (streams == Streams::kCaptureError && pipe2(error_ends, O_CLOEXEC) != 0)) {
    close_pipe();
    return std::nullopt;
  }

  SpawnSetup setup;
  bool ready = setup.init();
  posix_spawn_file_actions_t* actions = &setup.actions;
  // Standard output first: in a host that closed 0 or 2 the pipe may have landed there.
  if (ready) {
    // dup2 onto descriptor 1 clears its close-on-exec flag; the pipe's own descriptors keep it.
    ready = output == Output::kPipe
                ? posix_spawn_file_actions_adddup2(actions, pipe_ends[1], 1) == 0
                : posix_spawn_file_actions_addopen(actions, 1, "/dev/null", O_WRONLY, 0) == 0;
  }
  if (ready && streams != Streams::kInherit) {
    ready = posix_spawn_file_actions_addopen(actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
            (streams == Streams::kCaptureError
                 ? posix_spawn_file_actions_adddup2(actions, error_ends[1], 2) == 0
                 : posix_spawn_file_actions_addopen(actions, 2, "/dev/null", O_WRONLY, 0) == 0);
  }
  if (ready) {
    // Descriptors the host opened without close-on-exec stay out of the child too.
    ready = posix_spawn_file_actions_addclosefrom_np(actions, 3) == 0;
  }
  if (ready) {
    // A host may ignore or block signals (SIGPIPE, SIGCHLD); the child starts from the defaults.
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    // With POSIX_SPAWN_SETPGROUP and process group 0 the child leads a new group.
    const int flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                      (group == Group::kOwn ? POSIX_SPAWN_SETPGROUP : 0);
    ready = posix_spawnattr_setsigdefault(&setup.attributes, &all) == 0 &&
            posix_spawnattr_setsigmask(&setup.attributes, &none) == 0 &&
            posix_spawnattr_setpgroup(&setup.attributes, 0) == 0 &&
            posix_spawnattr_setflags(&setup.attributes, static_cast<short>(flags)) == 0;
  }
  pid_t pid = -1;
  if (!ready ||
      posix_spawn(&pid, path.c_str(), actions, &setup.attributes, argv.data(), environ) != 0) {
    close_pipe();
    return std::nullopt;
  }
  Child child;
  child.pid = pid;
  child.own_group = group == Group::kOwn;
  if (output == Output::kPipe) {
    close_fd(pipe_ends[1]);
    child.output = pipe_ends[0];
  }
  if (streams == Streams::kCaptureError) {
    close_fd(error_ends[1]);
    child.error = error_ends[0];
  }
  return child;
}

std::optional<int> wait_for(pid_t pid) noexcept {
  int status = 0;
  while (waitpid(pid, &status, 0) == -1) {
    if (errno != EINTR) {
      // ECHILD: the child has been reaped already (SIGCHLD ignored): it has ended, its status
      // is gone.
      return std::nullopt;
    }
  }
  if (!WIFEXITED(status)) {
    return std::nullopt;
  }
  return WEXITSTATUS(status);
}

std::optional<int> RunningChild::finish() noexcept {
  if (finished_) {
    return std::nullopt;
  }
  finished_ = true;
  for (int* fd : {&child_.output, &child_.error}) {
    if (*fd != -1) {
      close_fd(*fd);
      *fd = -1;
    }
  }
  return wait_for(child_.pid);
}

void RunningChild::kill() noexcept {
  if (!finished_) {
    // Not yet reaped, so the process (and the group it leads) cannot have been replaced.
    ::kill(child_.own_group ? -child_.pid : child_.pid, SIGKILL);
  }
}

Drained drain(const RunningChild& child, std::chrono::steady_clock::time_point deadline,
              std::string& output, std::size_t output_limit, std::string& error) {
  constexpr std::size_t kErrorKept = 1024;
  pollfd watched[2] = {{child.output(), POLLIN, 0}, {child.error(), POLLIN, 0}};
  char block[4096];
  while (watched[0].fd != -1 || watched[1].fd != -1) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return Drained::kTimedOut;
    }
    // poll skips entries whose descriptor is negative.
    const int ready = poll(watched, 2, static_cast<int>(left.count()));
    if (ready == -1 && errno != EINTR) {
      return Drained::kTimedOut;  // cannot wait: treat as no answer
    }
    for (int i = 0; ready > 0 && i < 2; ++i) {
      if (watched[i].fd == -1 || watched[i].revents == 0) {
        continue;
      }
      const ssize_t count = read(watched[i].fd, block, sizeof block);
      if (count == -1 && (errno == EINTR || errno == EAGAIN)) {
        continue;
      }
      if (count <= 0) {
        watched[i].fd = -1;  // the end (or an error, which ends it too)
        continue;
      }
      std::string& into = i == 0 ? output : error;
      const std::size_t limit = i == 0 ? output_limit : kErrorKept;
      if (into.size() < limit) {
        into.append(block, std::min(static_cast<std::size_t>(count), limit - into.size()));
      }
      if (i == 0 && output.size() >= output_limit) {
        return Drained::kEnough;
      }
    }
  }
  return Drained::kEnded;
}

std::size_t read_some(int fd, char* block, std::size_t size) noexcept {
  while (true) {
    const ssize_t count = read(fd, block, size);
    if (count >= 0) {
      return static_cast<std::size_t>(count);
    }
    if (errno != EINTR) {
      return 0;
    }
  }
}

void close_fd(int fd) noexcept {
  // On Linux the descriptor is released even when close reports EINTR: never retry.
  close(fd);
}

std::optional<std::string> find_program(const char* name) {
  const char* path = std::getenv("PATH");
  std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  while (true) {
    const std::size_t colon = rest.find(':');
    std::string_view directory = rest.substr(0, colon);
    // An empty entry is the current directory.
    std::string candidate(directory.empty() ? std::string_view(".") : directory);
    candidate += '/';
    candidate += name;
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (colon == std::string_view::npos) {
      return std::nullopt;
    }
    rest.remove_prefix(colon + 1);
  }
}

bool environment_has(const char* name) noexcept {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace korvane::process
