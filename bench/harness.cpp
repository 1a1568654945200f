#include "harness.hpp"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "host/library.hpp"

namespace korvane::bench {
namespace {

benchmark::IterationCount fixed_iteration_count = 0;

// One call on a fresh buffer: its result and the text it left.
std::pair<float, std::string> call_once(korvane_script_function function, const Call& call) {
  std::vector<char> buffer(kCapacity, '\0');
  if (call.buffer != nullptr) {
    std::strcpy(buffer.data(), call.buffer);
  }
  const float result = function(call.text, call.number, buffer.data(), 0);
  return {result, std::string(buffer.data())};
}

}  // namespace

void set_fixed_iterations(benchmark::IterationCount iterations) {
  fixed_iteration_count = iterations;
}

bool fixed_iterations() { return fixed_iteration_count > 0; }

benchmark::internal::Benchmark* add(const std::string& name,
                                    std::function<void(benchmark::State&)> body) {
  auto* registered = benchmark::RegisterBenchmark(
      name.c_str(), [body = std::move(body)](benchmark::State& state) { body(state); });
  if (fixed_iteration_count > 0) {
    registered->Iterations(fixed_iteration_count);
  }
  return registered;
}

void run_calls(benchmark::State& state, korvane_script_function function, const Call& call) {
  std::vector<char> buffer(kCapacity, '\0');
  const std::size_t start_length = call.buffer != nullptr ? std::strlen(call.buffer) + 1 : 0;
  // Hides where the pointer leads, so that a baseline is called like an export, not inlined.
  benchmark::DoNotOptimize(function);
  for (auto _ : state) {
    if (start_length != 0) {
      std::memcpy(buffer.data(), call.buffer, start_length);
    }
    const float result = function(call.text, call.number, buffer.data(), 0);
    benchmark::DoNotOptimize(result);
    benchmark::ClobberMemory();
  }
}

void add_pair(const host::Library& library, const char* export_name, const std::string& name,
              korvane_script_function bare, const Call& call) {
  const korvane_script_function exported = library.find(export_name);
  if (exported == nullptr) {
    std::fprintf(stderr, "note: the library has no %s; korvane/%s is not measured\n", export_name,
                 name.c_str());
    return;
  }
  // The pair must do the same work: one call of each must leave the same result and text.
  const auto [exported_result, exported_text] = call_once(exported, call);
  const auto [bare_result, bare_text] = call_once(bare, call);
  if (exported_result != bare_result || exported_text != bare_text) {
    std::fprintf(stderr, "warning: %s: the export gave %g \"%s\", the baseline %g \"%s\"\n",
                 name.c_str(), static_cast<double>(exported_result), exported_text.c_str(),
                 static_cast<double>(bare_result), bare_text.c_str());
  }
  add("korvane/" + name,
      [exported, call](benchmark::State& state) { run_calls(state, exported, call); });
  add("bare/" + name, [bare, call](benchmark::State& state) { run_calls(state, bare, call); });
}

}  // namespace korvane::bench
