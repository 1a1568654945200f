// Load, call every export that shows no window, unload; many times over. Every cycle must answer
// as the first, the library must be gone from the process after each unload, and nothing may
// pile up: heap, open files or handles. (The asan build adds LeakSanitizer's exact count.)
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>

#include <psapi.h>
#else
#include <malloc.h>

#include <filesystem>
#include <fstream>
#endif

#include "host/library.hpp"
#include "support/answers.hpp"

namespace korvane::test {
namespace {

#if defined(_WIN32)
constexpr int kDefaultCycles = 100;
constexpr const char* kFileName = "korvanelib.dll";
#else
constexpr int kDefaultCycles = 1000;
constexpr const char* kFileName = "korvanelib.so";
#endif
constexpr int kWarmUpCycles = 10;
// Growth of the bytes in use allowed after the warm-up: glibc's heap count is exact, Windows'
// private bytes move in pages.
#if defined(_WIN32)
constexpr std::int64_t kMemoryTolerance = 64 * 1024;
#else
constexpr std::int64_t kMemoryTolerance = 1024;
#endif

int cycles() {
  const char* text = std::getenv("KORVANE_LOAD_CYCLES");
  const int value = text != nullptr ? std::atoi(text) : 0;
  return value > 0 ? value : kDefaultCycles;
}

std::string library_path() {
  const char* path = std::getenv("KORVANE_LIBRARY");
  return path != nullptr && *path != '\0' ? path : host::library_beside_program();
}

// Is the library file mapped into the process?
bool library_in_process() {
#if defined(_WIN32)
  return GetModuleHandleA(kFileName) != nullptr;
#else
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find(kFileName) != std::string::npos) {
      return true;
    }
  }
  return false;
#endif
}

// What a leak would make grow: heap bytes in use and open files or handles.
struct Usage {
  std::int64_t memory;
  std::int64_t handles;
};

Usage usage() {
#if defined(_WIN32)
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  return {static_cast<std::int64_t>(counters.PrivateUsage), static_cast<std::int64_t>(handles)};
#else
  std::int64_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++files;
  }
  return {static_cast<std::int64_t>(mallinfo2().uordblks), files};
#endif
}

TEST(LoadCycles, EveryCycleAnswersAsTheFirstAndNothingLeaks) {
  const int cycle_count = cycles();
  ASSERT_GT(cycle_count, kWarmUpCycles);
  ASSERT_FALSE(library_in_process()) << "the library is loaded before the first cycle";
  const std::vector<FixedCall>& fixed = fixed_calls();
  const std::vector<ClockCall>& clock = clock_calls();
  std::vector<Answer> first;
  Caller caller;
  Usage warmed_up{};
  int wrong = 0;
  std::string first_wrong;
  const auto note = [&](int cycle, const std::string& what) {
    if (wrong++ == 0) {
      first_wrong = "cycle " + std::to_string(cycle) + ": " + what;
    }
  };
  for (int cycle = 0; cycle < cycle_count; ++cycle) {
    {
      std::string error;
      const auto library = host::Library::open(library_path(), error);
      ASSERT_NE(library, nullptr) << error;
      for (std::size_t i = 0; i < fixed.size(); ++i) {
        if (!due(fixed[i], cycle)) {
          continue;
        }
        const korvane_script_function function = library->find(fixed[i].name);
        ASSERT_NE(function, nullptr) << fixed[i].name;
        Answer answer = caller.call(function, fixed[i].text, fixed[i].number, fixed[i].buffer);
        if (cycle == 0) {
          ASSERT_EQ(check_reference(fixed[i], answer), "");
          first.push_back(std::move(answer));
        } else if (!(answer == first[i])) {
          note(cycle, std::string(fixed[i].name) + " wrote \"" + answer.buffer + "\", first \"" +
                          first[i].buffer + "\"");
        }
      }
      for (const ClockCall& c : clock) {
        const korvane_script_function function = library->find(c.name);
        ASSERT_NE(function, nullptr) << c.name;
        const std::int64_t before = now_seconds();
        const Answer answer = caller.call(function, c.text, 0.0, c.buffer);
        const std::string problem = check_clock_call(c, answer, before, now_seconds());
        if (!problem.empty()) {
          note(cycle, std::string(c.name) + ": " + problem);
        }
      }
    }  // unloaded here
    if (library_in_process()) {
      FAIL() << "the library stayed in the process after unloading, cycle " << cycle;
    }
    if (cycle + 1 == kWarmUpCycles) {
      warmed_up = usage();
    }
  }
  EXPECT_EQ(wrong, 0) << first_wrong;
  const Usage end = usage();
  // After the warm-up, the cycles leave the heap and the handles as they found them.
  EXPECT_LE(end.memory - warmed_up.memory, kMemoryTolerance)
      << "bytes in use grew over " << cycle_count - kWarmUpCycles << " cycles";
  EXPECT_EQ(end.handles, warmed_up.handles);
  std::printf("%d load cycles, %zu calls each; bytes in use grew by %lld, handles by %lld\n",
              cycle_count, fixed.size() + clock.size(),
              static_cast<long long>(end.memory - warmed_up.memory),
              static_cast<long long>(end.handles - warmed_up.handles));
}

}  // namespace
}  // namespace korvane::test
