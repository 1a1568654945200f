// Command capture: _ShellExecute beside a bare popen and fread loop of the same command, for
// outputs below, at and far past the buffer's capacity (the rest is read and dropped).
// Registered only when the loaded library has _ShellExecute.
#include <cstdio>
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

// Runs the command line `command` through `function` once an iteration and checks afterwards
// that the buffer holds the expected length of output.
void run_capture(benchmark::State& state, korvane_script_function function,
                 const std::string& command, std::size_t output_bytes) {
  std::vector<char> buffer(kCapacity, '\0');
  benchmark::DoNotOptimize(function);
  for (auto _ : state) {
    std::memcpy(buffer.data(), command.c_str(), command.size() + 1);
    const float result = function(nullptr, 0.0, buffer.data(), 0);
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
  }
  const std::size_t kept = output_bytes < kCapacity - 1 ? output_bytes : kCapacity - 1;
  const std::size_t length = strnlen(buffer.data(), kCapacity);
  if (length != kept) {
    const std::string message = "captured " + std::to_string(length) + " bytes, expected " +
                                std::to_string(kept);
    state.SkipWithError(message.c_str());
  }
  state.counters["output_bytes"] = static_cast<double>(output_bytes);
}

// Output in lines of 64 bytes, like a listing, or as one long line.
std::string lines_command(std::size_t bytes) {
  return "yes 'captured output, a line of sixty-four bytes with its line end..' | head -c " +
         std::to_string(bytes);
}

std::string long_line_command(std::size_t bytes) {
  return "head -c " + std::to_string(bytes) + " /dev/zero | tr '\\0' x";
}

}  // namespace

void register_shell(const host::Library& library) {
  const korvane_script_function shell_execute = library.find("_ShellExecute");
  if (shell_execute == nullptr) {
    std::fprintf(stderr,
                 "note: the library has no _ShellExecute; the command-capture benchmarks are "
                 "not registered\n");
    return;
  }
  const std::size_t sizes[] = {0, 1024, 16 * 1024, kCapacity, 16 * 1024 * 1024};
  struct Series {
    const char* name;
    std::string (*command)(std::size_t);
  };
  for (const Series series : {Series{"lines", lines_command}, Series{"long-line", long_line_command}}) {
    for (const std::size_t size : sizes) {
      const std::string command = series.command(size);
      const std::string name = std::string("ShellExecute/") + series.name + "/" + std::to_string(size);
      for (const bool bare : {false, true}) {
        const korvane_script_function function = bare ? bare_capture : shell_execute;
        add((bare ? "bare/" : "korvane/") + name,
            [function, command, size](benchmark::State& state) {
              run_capture(state, function, command, size);
            })
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond);
      }
    }
  }
}

}  // namespace korvane::bench
