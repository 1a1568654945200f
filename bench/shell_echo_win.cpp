// The cost of _ShellExecute("echo hi") to a host on Windows: CALLS calls (50 by default) after
// two unmeasured ones, timed one by one; prints the median, mean, fastest and slowest call.
//   shell_echo REPORT [CALLS]       REPORT: a file to write to, or - for standard output
// Built twice from this file: shell_echo.exe, a console program, and shell_echo_gui.exe, a
// desktop program (GUI subsystem) to start through the tests' gui_launch, which starts it as
// the desktop does, gives it the report file and prints that.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "host/library.hpp"

int main(int argc, char** argv) {
  if (argc < 2) {
    return 2;
  }
  const long calls = argc > 2 ? std::atol(argv[2]) : 50;
  std::FILE* report = std::strcmp(argv[1], "-") == 0 ? stdout : std::fopen(argv[1], "w");
  std::string error;
  const auto library = korvane::host::Library::open(korvane::host::library_beside_program(), error);
  const korvane_script_function shell_execute =
      library != nullptr ? library->find("_ShellExecute") : nullptr;
  if (report == nullptr || shell_execute == nullptr || calls < 1) {
    return 1;
  }
  std::vector<char> buffer(KORVANE_BUFFER_CAPACITY);
  std::vector<double> times;
  for (long call = -2; call < calls; ++call) {
    std::strcpy(buffer.data(), "echo hi");
    const auto start = std::chrono::steady_clock::now();
    const float result = shell_execute(nullptr, 0.0, buffer.data(), 0);
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    if (result != 1.0f || std::strcmp(buffer.data(), "hi\n") != 0) {
      std::fprintf(report, "wrong answer: %g, '%s'\n", static_cast<double>(result), buffer.data());
      return 1;
    }
    if (call >= 0) {
      times.push_back(spent.count());
    }
  }
  std::sort(times.begin(), times.end());
  const std::size_t n = times.size();
  const double median = n % 2 != 0 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
  std::fprintf(report,
               "%ld calls of _ShellExecute(\"echo hi\"): median %.1f ms, mean %.1f ms, fastest "
               "%.1f ms, slowest %.1f ms\n",
               calls, median,
               std::accumulate(times.begin(), times.end(), 0.0) / static_cast<double>(n),
               times.front(), times.back());
  return 0;
}
