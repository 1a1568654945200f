// A host that changes its locale: between calls, from another thread while calls run, and (where
// the platform has it) for the calling thread alone. Every answer must stay as in the "C" locale.
#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <locale.h>
#endif

#include "support/answers.hpp"
#include "support/calls.hpp"

namespace korvane::test {
namespace {

// German locales, with a decimal comma; those the system lacks are left out.
std::vector<std::string> german_locales() {
#if defined(_WIN32)
  const char* const names[] = {"German", "German_Germany.1252"};
#else
  const char* const names[] = {"de_DE.UTF-8", "de_DE.ISO-8859-1"};
#endif
  std::vector<std::string> found;
  for (const char* name : names) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      found.emplace_back(name);
    }
  }
  std::setlocale(LC_ALL, "C");
  return found;
}

class HostLocale : public testing::Test {
 protected:
  void SetUp() override {
    locales_ = german_locales();
    ASSERT_FALSE(locales_.empty()) << "no German locale is installed; install one (see the README)";
    // The locale really changes what the C library does: a decimal comma.
    ASSERT_NE(std::setlocale(LC_ALL, locales_.front().c_str()), nullptr);
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    std::setlocale(LC_ALL, "C");
    for (const FixedCall& c : fixed_calls()) {
      fixed_.push_back(find_export(c.name));
      ASSERT_NE(fixed_.back(), nullptr) << c.name;
      expected_.push_back(caller_.call(fixed_.back(), c.text, c.number, c.buffer));
      ASSERT_EQ(check_reference(c, expected_.back()), "");
    }
    for (const ClockCall& c : clock_calls()) {
      clock_.push_back(find_export(c.name));
      ASSERT_NE(clock_.back(), nullptr) << c.name;
    }
  }

  void TearDown() override { std::setlocale(LC_ALL, "C"); }

  // Makes every call due in `round` once; returns the number of answers that differ from the
  // "C" locale's, and describes the first in `first`.
  int call_all(Caller& caller, std::string& first, int round = 0) {
    int wrong = 0;
    const auto note = [&](const std::string& what) {
      if (wrong++ == 0) {
        first = what;
      }
    };
    const std::vector<FixedCall>& fixed = fixed_calls();
    for (std::size_t i = 0; i < fixed.size(); ++i) {
      if (!due(fixed[i], round)) {
        continue;
      }
      const Answer answer = caller.call(fixed_[i], fixed[i].text, fixed[i].number, fixed[i].buffer);
      if (!(answer == expected_[i])) {
        note(std::string(fixed[i].name) + " wrote \"" + answer.buffer + "\", in \"C\" \"" +
             expected_[i].buffer + "\"");
      }
    }
    const std::vector<ClockCall>& clock = clock_calls();
    for (std::size_t i = 0; i < clock.size(); ++i) {
      const std::int64_t before = now_seconds();
      const Answer answer = caller.call(clock_[i], clock[i].text, 0.0, clock[i].buffer);
      const std::string problem = check_clock_call(clock[i], answer, before, now_seconds());
      if (!problem.empty()) {
        note(std::string(clock[i].name) + ": " + problem);
      }
    }
    return wrong;
  }

  std::vector<std::string> locales_;
  std::vector<korvane_script_function> fixed_;
  std::vector<korvane_script_function> clock_;
  std::vector<Answer> expected_;
  Caller caller_;
};

TEST_F(HostLocale, ChangedBetweenCalls) {
  for (int round = 0; round < 3; ++round) {
    for (const std::string& name : locales_) {
      ASSERT_NE(std::setlocale(LC_ALL, name.c_str()), nullptr) << name;
      std::string first;
      EXPECT_EQ(call_all(caller_, first), 0) << "under " << name << ": " << first;
      std::setlocale(LC_ALL, "C");
      EXPECT_EQ(call_all(caller_, first), 0) << "back in C: " << first;
    }
  }
}

TEST_F(HostLocale, ChangedByAnotherThreadWhileCallsRun) {
  std::atomic<bool> stop{false};
  std::atomic<long> changes{0};
  const std::vector<std::string> names = locales_;
  std::thread changer([&] {
    for (std::size_t i = 0; !stop.load(); ++i) {
      const std::size_t pick = i % (names.size() + 1);
      std::setlocale(LC_ALL, pick == names.size() ? "C" : names[pick].c_str());
      ++changes;
      std::this_thread::yield();
    }
  });
  while (changes.load() == 0) {
    std::this_thread::yield();
  }
  // At least 300 rounds, and on until the locale has changed a thousand times under them.
  int wrong = 0;
  int round = 0;
  std::string first;
  for (; (round < 300 || changes.load() < 1000) && round < 1'000'000; ++round) {
    wrong += call_all(caller_, first, round);
  }
  stop.store(true);
  changer.join();
  EXPECT_EQ(wrong, 0) << first;
  EXPECT_GE(changes.load(), 1000);
  std::printf("%d rounds of calls while the locale changed %ld times\n", round, changes.load());
}

TEST_F(HostLocale, ChangedForTheCallingThreadOnly) {
  for (const std::string& name : locales_) {
#if defined(_WIN32)
    _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
    ASSERT_NE(std::setlocale(LC_ALL, name.c_str()), nullptr) << name;
#else
    const locale_t german = newlocale(LC_ALL_MASK, name.c_str(), nullptr);
    ASSERT_NE(german, nullptr) << name;
    const locale_t previous = uselocale(german);
#endif
    ASSERT_STREQ(std::localeconv()->decimal_point, ",") << name;
    std::string first;
    EXPECT_EQ(call_all(caller_, first), 0) << "thread under " << name << ": " << first;
#if defined(_WIN32)
    std::setlocale(LC_ALL, "C");
    _configthreadlocale(_DISABLE_PER_THREAD_LOCALE);
#else
    uselocale(previous);
    freelocale(german);
#endif
  }
}

}  // namespace
}  // namespace korvane::test
