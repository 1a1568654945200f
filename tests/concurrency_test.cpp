// Eight threads call every export that shows no window thousands of times each, the clock's
// included. Each answer must be the one the same call gives on a single thread; the clock's
// answers must be right for some second during the call.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/answers.hpp"
#include "support/calls.hpp"

namespace korvane::test {
namespace {

constexpr int kThreads = 8;

// Rounds per thread; each round makes every call of the tables once.
int rounds() {
  const char* text = std::getenv("KORVANE_CONCURRENCY_ROUNDS");
  const int value = text != nullptr ? std::atoi(text) : 0;
  return value > 0 ? value : 2000;
}

struct ThreadReport {
  long calls = 0;
  long wrong = 0;
  std::string first_wrong;
};

TEST(Concurrency, EightThreadsGetTheSingleThreadedAnswers) {
  const std::vector<FixedCall>& fixed = fixed_calls();
  const std::vector<ClockCall>& clock = clock_calls();
  std::vector<korvane_script_function> fixed_functions;
  std::vector<korvane_script_function> clock_functions;
  for (const FixedCall& c : fixed) {
    fixed_functions.push_back(find_export(c.name));
    ASSERT_NE(fixed_functions.back(), nullptr) << c.name;
  }
  for (const ClockCall& c : clock) {
    clock_functions.push_back(find_export(c.name));
    ASSERT_NE(clock_functions.back(), nullptr) << c.name;
  }

  // The answers on a single thread, before any other thread runs.
  std::vector<Answer> expected;
  Caller single;
  for (std::size_t i = 0; i < fixed.size(); ++i) {
    expected.push_back(
        single.call(fixed_functions[i], fixed[i].text, fixed[i].number, fixed[i].buffer));
    ASSERT_EQ(check_reference(fixed[i], expected.back()), "");
  }

  const int round_count = rounds();
  std::atomic<bool> go{false};
  std::vector<ThreadReport> reports(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ThreadReport& report = reports[static_cast<std::size_t>(t)];
      Caller caller;
      const auto wrong = [&report](const std::string& what) {
        if (report.wrong++ == 0) {
          report.first_wrong = what;
        }
      };
      while (!go.load()) {
        std::this_thread::yield();
      }
      for (int round = 0; round < round_count; ++round) {
        // Each thread walks the table from its own starting point, so that different exports
        // run side by side.
        for (std::size_t k = 0; k < fixed.size(); ++k) {
          const std::size_t i = (k + static_cast<std::size_t>(t) * 7) % fixed.size();
          if (!due(fixed[i], round)) {
            continue;
          }
          const Answer answer =
              caller.call(fixed_functions[i], fixed[i].text, fixed[i].number, fixed[i].buffer);
          ++report.calls;
          if (!(answer == expected[i])) {
            wrong(std::string(fixed[i].name) + ": result " + std::to_string(answer.result) +
                  ", \"" + answer.buffer + "\" " + answer.fault);
          }
        }
        for (std::size_t i = 0; i < clock.size(); ++i) {
          const std::int64_t before = now_seconds();
          const Answer answer =
              caller.call(clock_functions[i], clock[i].text, 0.0, clock[i].buffer);
          const std::int64_t after = now_seconds();
          ++report.calls;
          const std::string problem = check_clock_call(clock[i], answer, before, after);
          if (!problem.empty()) {
            wrong(std::string(clock[i].name) + ": " + problem);
          }
        }
      }
    });
  }
  go.store(true);
  for (std::thread& thread : threads) {
    thread.join();
  }
  long due_calls = 0;
  for (int round = 0; round < round_count; ++round) {
    for (const FixedCall& c : fixed) {
      due_calls += due(c, round) ? 1 : 0;
    }
    due_calls += static_cast<long>(clock.size());
  }
  long calls = 0;
  for (int t = 0; t < kThreads; ++t) {
    const ThreadReport& report = reports[static_cast<std::size_t>(t)];
    EXPECT_EQ(report.wrong, 0) << "thread " << t << ", first: " << report.first_wrong;
    calls += report.calls;
  }
  EXPECT_EQ(calls, kThreads * due_calls);
  std::printf("%ld calls on %d threads\n", calls, kThreads);
}

}  // namespace
}  // namespace korvane::test
