// Command capture: _ShellExecute beside a bare popen and fread loop of the same command, for
// outputs below, at and far past the buffer's capacity (the rest is read and dropped), measured
// in pairs (paired/ShellExecute/...). Registered only when the loaded library has _ShellExecute.
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "harness.hpp"
#include "host/library.hpp"

namespace korvane::bench {
namespace {

// The bare loop: the command's output read into the buffer up to its capacity, the rest read
// and dropped, then the pipe closed.
float bare_capture(const char*, double, char* buffer, int) {
  FILE* pipe = popen(buffer, "r");
  if (pipe == nullptr) {
    return 0.0f;
  }
  std::size_t used = 0;
  while (used < kCapacity - 1) {
    const std::size_t got = std::fread(buffer + used, 1, kCapacity - 1 - used, pipe);
    if (got == 0) {
      break;
    }
    used += got;
  }
  buffer[used] = '\0';
  static char drain[1 << 16];
  while (std::fread(drain, 1, sizeof drain, pipe) != 0) {
  }
  pclose(pipe);
  return 1.0f;
}

// Time of one call: wall clock, and CPU time of the calling thread (the capture's own work;
// the command runs in other processes).
struct Spent {
  double wall_ns = 0;
  double cpu_ns = 0;
};

double thread_cpu_ns() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// Runs the command line in `buffer` through `function` and checks the length of what it left.
Spent capture_once(korvane_script_function function, const std::string& command,
                   std::vector<char>& buffer, std::size_t kept, std::string& error) {
  std::memcpy(buffer.data(), command.c_str(), command.size() + 1);
  const double cpu_start = thread_cpu_ns();
  const auto wall_start = std::chrono::steady_clock::now();
  const float result = function(nullptr, 0.0, buffer.data(), 0);
  benchmark::DoNotOptimize(result);
  benchmark::ClobberMemory();
  const std::chrono::duration<double, std::nano> wall =
      std::chrono::steady_clock::now() - wall_start;
  const Spent spent{wall.count(), thread_cpu_ns() - cpu_start};
  const std::size_t length = strnlen(buffer.data(), kCapacity);
  if (result != 1.0f || length != kept) {
    error = "result " + std::to_string(result) + ", captured " + std::to_string(length) +
            " bytes, expected " + std::to_string(kept);
  }
  return spent;
}

// Each iteration runs the command through the export and through the bare loop, in alternating
// order, so that both meet the same load on the machine and their ratio is taken call for call
// rather than across runs minutes apart. The iteration's time is the export's; counters give
// both sides per call and the ratio of their wall-clock times.
void run_capture_pair(benchmark::State& state, korvane_script_function shell_execute,
                      const std::string& command, std::size_t output_bytes) {
  std::vector<char> buffer(kCapacity, '\0');
  const std::size_t kept = output_bytes < kCapacity - 1 ? output_bytes : kCapacity - 1;
  korvane_script_function bare = bare_capture;
  benchmark::DoNotOptimize(shell_execute);
  benchmark::DoNotOptimize(bare);
  Spent ours_total;
  Spent bare_total;
  std::string error;
  bool export_first = true;
  for (auto _ : state) {
    Spent ours;
    Spent theirs;
    if (export_first) {
      ours = capture_once(shell_execute, command, buffer, kept, error);
      theirs = capture_once(bare, command, buffer, kept, error);
    } else {
      theirs = capture_once(bare, command, buffer, kept, error);
      ours = capture_once(shell_execute, command, buffer, kept, error);
    }
    export_first = !export_first;
    state.SetIterationTime(ours.wall_ns / 1e9);
    ours_total.wall_ns += ours.wall_ns;
    ours_total.cpu_ns += ours.cpu_ns;
    bare_total.wall_ns += theirs.wall_ns;
    bare_total.cpu_ns += theirs.cpu_ns;
  }
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  const auto calls = static_cast<double>(state.iterations());
  state.counters["output_bytes"] = static_cast<double>(output_bytes);
  state.counters["korvane_wall_ns"] = ours_total.wall_ns / calls;
  state.counters["korvane_cpu_ns"] = ours_total.cpu_ns / calls;
  state.counters["bare_wall_ns"] = bare_total.wall_ns / calls;
  state.counters["bare_cpu_ns"] = bare_total.cpu_ns / calls;
  state.counters["ratio"] = bare_total.wall_ns > 0 ? ours_total.wall_ns / bare_total.wall_ns : 0;
}

// Files of output for the commands to print, made once: 16 MiB in lines of 64 bytes, like a
// listing, and 16 MiB of one long line. A command reads a file rather than generating its output
// so that one process, not a pipeline, starts beside the command processor.
class OutputFiles {
 public:
  OutputFiles() {
    std::string pattern = (std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp");
    pattern += "/korvane_bench.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      return;
    }
    directory_ = pattern;
    std::string lines;
    while (lines.size() < kLargest) {
      lines += "captured output, a line of sixty-four bytes with its line end..\n";
    }
    ok_ = write(lines_path(), lines) && write(long_line_path(), std::string(kLargest, 'x'));
  }
  ~OutputFiles() {
    if (!directory_.empty()) {
      std::remove(lines_path().c_str());
      std::remove(long_line_path().c_str());
      rmdir(directory_.c_str());
    }
  }
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  static constexpr std::size_t kLargest = 16 * 1024 * 1024;

  [[nodiscard]] bool ok() const { return ok_; }
  [[nodiscard]] std::string lines_path() const { return directory_ + "/lines"; }
  [[nodiscard]] std::string long_line_path() const { return directory_ + "/long-line"; }

 private:
  static bool write(const std::string& path, const std::string& content) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
      return false;
    }
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    return std::fclose(file) == 0 && written;
  }

  std::string directory_;
  bool ok_ = false;
};

}  // namespace

void register_shell(const host::Library& library) {
  const korvane_script_function shell_execute = library.find("_ShellExecute");
  if (shell_execute == nullptr) {
    std::fprintf(stderr,
                 "note: the library has no _ShellExecute; the command-capture benchmarks are "
                 "not registered\n");
    return;
  }
  static const OutputFiles files;
  if (!files.ok()) {
    std::fprintf(stderr, "note: cannot write the output files; command capture not measured\n");
    return;
  }
  // Beside the sizes below, at and past the capacity, 1 MiB and 4 MiB: past the capacity the
  // output costs enough to resolve the cost per byte above the noise of starting the command.
  const std::size_t sizes[] = {
      0, 1024, 16 * 1024, kCapacity, 1024 * 1024, 4 * 1024 * 1024, OutputFiles::kLargest};
  struct Series {
    const char* name;
    std::string path;
  };
  for (const Series& series :
       {Series{"lines", files.lines_path()}, Series{"long-line", files.long_line_path()}}) {
    for (const std::size_t size : sizes) {
      const std::string command = "head -c " + std::to_string(size) + " '" + series.path + "'";
      const std::string name =
          std::string("ShellExecute/") + series.name + "/" + std::to_string(size);
      auto* registered = add("paired/" + name,
                             [shell_execute, command, size](benchmark::State& state) {
                               run_capture_pair(state, shell_execute, command, size);
                             })
                             ->UseManualTime()
                             ->Unit(benchmark::kMicrosecond);
      if (!fixed_iterations()) {
        // Starting a command takes milliseconds and varies: gather more calls a repetition.
        registered->MinTime(0.5);
      }
    }
  }
}

}  // namespace korvane::bench
