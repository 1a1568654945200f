// korvane_bench: the library's exports, called through the loaded library as a host calls
// them, each beside a bare baseline doing the same work with the C library in the same run.
//
//   korvane_bench [--library PATH] [--smoke | --iterations N] [Google Benchmark flags]
//
// The library defaults to KORVANE_LIBRARY, else the one beside this program. --smoke runs each
// benchmark for one iteration, --iterations for N. scripts/bench-table turns the JSON output
// into a table; scripts/bench-callgrind counts instructions per call.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "harness.hpp"
#include "host/library.hpp"

int main(int argc, char** argv) {
  std::string path;
  if (const char* from_environment = std::getenv("KORVANE_LIBRARY");
      from_environment != nullptr && *from_environment != '\0') {
    path = from_environment;
  }
  long long iterations = 0;
  // Our own flags first; the rest goes to Google Benchmark.
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smoke") == 0) {
      iterations = 1;
    } else if (std::strcmp(argv[i], "--iterations") == 0 && i + 1 < argc) {
      iterations = std::atoll(argv[++i]);
      if (iterations <= 0) {
        std::fprintf(stderr, "korvane_bench: --iterations takes a positive count\n");
        return 2;
      }
    } else if (std::strcmp(argv[i], "--library") == 0 && i + 1 < argc) {
      path = argv[++i];
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (path.empty()) {
    path = korvane::host::library_beside_program();
  }
  int rest_count = static_cast<int>(rest.size());
  benchmark::Initialize(&rest_count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(rest_count, rest.data())) {
    return 2;
  }

  std::string error;
  const std::unique_ptr<korvane::host::Library> library = korvane::host::Library::open(path, error);
  if (!library) {
    std::fprintf(stderr, "korvane_bench: %s\n", error.c_str());
    return 1;
  }
  benchmark::AddCustomContext("korvane_library", path);
  benchmark::AddCustomContext("korvane_buffer_capacity", std::to_string(korvane::bench::kCapacity));

  korvane::bench::set_fixed_iterations(iterations);
  korvane::bench::register_portable(*library);
  korvane::bench::register_shell(*library);

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
