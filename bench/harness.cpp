#include "harness.hpp"

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "host/library.hpp"

namespace korvane::bench {
namespace {

bool smoke_run = false;

}  // namespace

void set_smoke(bool smoke) { smoke_run = smoke; }

benchmark::internal::Benchmark* add(const std::string& name,
                                    std::function<void(benchmark::State&)> body) {
  auto* registered = benchmark::RegisterBenchmark(
      name.c_str(), [body = std::move(body)](benchmark::State& state) { body(state); });
  if (smoke_run) {
    registered->Iterations(1);
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
    std::fprintf(stderr, "note: the library has no %s; korvane/%s is not measured\n",
                 export_name, name.c_str());
    return;
  }
  add("korvane/" + name,
      [exported, call](benchmark::State& state) { run_calls(state, exported, call); });
  add("bare/" + name, [bare, call](benchmark::State& state) { run_calls(state, bare, call); });
}

}  // namespace korvane::bench
