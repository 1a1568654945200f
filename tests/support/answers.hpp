// Calls of every export that shows no window, and their answers, for the tests that repeat them
// many times: on many threads, over many load cycles, under a host that changes its locale.
#pragma once

#include <korvanelib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::test {

// A call whose answer depends on its arguments alone.
struct FixedCall {
  const char* name;
  const char* text;  // null: a null text argument
  double number;
  const char* buffer;  // the buffer's text before the call
  int every = 1;       // made in every `every`-th round only: for slow calls (starting a process)
  const char* known = nullptr;  // the buffer after the call, where the table states it
};

// Is `call` made in round (or load cycle) `round`? Every call is made in round 0.
inline bool due(const FixedCall& call, int round) { return round % call.every == 0; }

// Calls of every windowless export except the clock's, with inputs that reach every path:
// long number texts, NaNs and infinities, zero results that leave the buffer alone, texts a
// host's locale would read otherwise, 8-bit characters; and a command line run through the
// platform's command processor, now and then.
const std::vector<FixedCall>& fixed_calls();

// A call of a clock export, checked against the clock (see check_clock_call).
struct ClockCall {
  const char* name;
  const char* text;
  const char* buffer;
  std::string (*expected)(std::int64_t now);  // the buffer when the clock reads `now`
};

// Time_Format (the default pattern and one with names), Precision_TimeStamp, Start_Counter
// and End_Counter.
const std::vector<ClockCall>& clock_calls();

// What a call left, and what went wrong at the buffer's edges ("" when nothing did).
struct Answer {
  float result = -1.0f;
  std::string buffer;
  std::string fault;

  bool operator==(const Answer& other) const {
    return result == other.result && buffer == other.buffer && fault == other.fault;
  }
};

// "" when the single-threaded reference `answer` of `call` is sound: no fault at the buffer's
// edges and, where the table states the buffer, that buffer with the result 1.
std::string check_reference(const FixedCall& call, const Answer& answer);

// Calls exports with a buffer of exactly KORVANE_BUFFER_CAPACITY bytes followed by guard bytes,
// reused from call to call (one caller per thread).
class Caller {
 public:
  Caller();
  Answer call(korvane_script_function function, const char* text, double number,
              const char* buffer);

 private:
  std::vector<char> block_;
};

// "" when `answer` is what `call` gives at some second of the clock in [before, after], else a
// description of the difference.
std::string check_clock_call(const ClockCall& call, const Answer& answer, std::int64_t before,
                             std::int64_t after);

// Seconds since 1970 by the clock the exports read.
std::int64_t now_seconds();

}  // namespace korvane::test
