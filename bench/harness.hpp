// What every benchmark shares: the call loop, and registration in pairs, each export beside a
// bare baseline that does the same work with the C library directly.
#pragma once

#include <benchmark/benchmark.h>
#include <korvanelib.h>

#include <cstddef>
#include <functional>
#include <string>

namespace korvane::host {
class Library;
}

namespace korvane::bench {

inline constexpr std::size_t kCapacity = KORVANE_BUFFER_CAPACITY;

// A fixed count of iterations for every benchmark (0: Google Benchmark decides). A smoke run
// takes one iteration: it shows that the program builds and runs, and measures nothing; a fixed
// count also suits instruction counting (valgrind --tool=callgrind).
void set_fixed_iterations(benchmark::IterationCount iterations);
[[nodiscard]] bool fixed_iterations();

// Registers one benchmark under `name` with the options of this run.
benchmark::internal::Benchmark* add(const std::string& name,
                                    std::function<void(benchmark::State&)> body);

// The arguments of one call. When `buffer` is set, the buffer is given that text before every
// call (for exports that read the buffer and write over it).
struct Call {
  const char* text = nullptr;
  double number = 0.0;
  const char* buffer = nullptr;
};

// Calls `function` with `call` once an iteration, on a buffer of kCapacity bytes. The function
// is reached through a pointer that the compiler cannot see through, export and baseline alike.
void run_calls(benchmark::State& state, korvane_script_function function, const Call& call);

// Registers korvane/<name> (the export) and bare/<name> (the baseline) with the same call.
// Does nothing, and says so, when the library lacks the export.
void add_pair(const host::Library& library, const char* export_name, const std::string& name,
              korvane_script_function bare, const Call& call);

// The benchmarks of the portable exports and of the number text (portable_bench.cpp).
void register_portable(const host::Library& library);

// The benchmarks of command capture, when the library has _ShellExecute (shell_bench.cpp).
void register_shell(const host::Library& library);

}  // namespace korvane::bench
