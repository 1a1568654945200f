#include "desktop/process_linux.hpp"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
                           Output output, Streams streams) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);

  int pipe_ends[2] = {-1, -1};
  if (output == Output::kPipe && pipe2(pipe_ends, O_CLOEXEC) != 0) {
    return std::nullopt;
  }
  const auto close_pipe = [&] {
    for (int& end : pipe_ends) {
      if (end != -1) {
        close_fd(end);
        end = -1;
      }
    }
  };

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
  if (ready && streams == Streams::kQuiet) {
    ready = posix_spawn_file_actions_addopen(actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
            posix_spawn_file_actions_addopen(actions, 2, "/dev/null", O_WRONLY, 0) == 0;
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
    ready = posix_spawnattr_setsigdefault(&setup.attributes, &all) == 0 &&
            posix_spawnattr_setsigmask(&setup.attributes, &none) == 0 &&
            posix_spawnattr_setflags(&setup.attributes,
                                     POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK) == 0;
  }
  pid_t pid = -1;
  if (!ready ||
      posix_spawn(&pid, path.c_str(), actions, &setup.attributes, argv.data(), environ) != 0) {
    close_pipe();
    return std::nullopt;
  }
  Child child;
  child.pid = pid;
  if (output == Output::kPipe) {
    close_fd(pipe_ends[1]);
    child.output = pipe_ends[0];
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
  if (child_.output != -1) {
    close_fd(child_.output);
    child_.output = -1;
  }
  return wait_for(child_.pid);
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
