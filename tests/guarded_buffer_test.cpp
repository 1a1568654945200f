// Every export gets a buffer of exactly the capacity whose next byte lies on an inaccessible page
// (and whose previous byte too), and is driven to its largest output. A read or write past
// either end faults and ends the test program. The text argument is placed the same way, with its
// NUL as the last accessible byte.
//
// The table has one row per call. An export that needs something arranged around its call (a
// message box answered, the clipboard filled) names that in the row's `arrange`.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "support/calls.hpp"

namespace korvane::test {
namespace {

constexpr std::size_t kCapacity = KORVANE_BUFFER_CAPACITY;

// `size` usable bytes between two inaccessible pages: the first usable byte follows one, the
// byte after the last usable one is the first byte of the other.
class GuardedBlock {
 public:
  explicit GuardedBlock(std::size_t size) {
    const std::size_t page = page_size();
    const std::size_t usable_pages = (size + page - 1) / page;
    length_ = (usable_pages + 2) * page;
#if defined(_WIN32)
    base_ = static_cast<char*>(VirtualAlloc(nullptr, length_, MEM_RESERVE | MEM_COMMIT,
                                            PAGE_READWRITE));
    EXPECT_NE(base_, nullptr);
    DWORD old = 0;
    EXPECT_TRUE(VirtualProtect(base_, page, PAGE_NOACCESS, &old));
    EXPECT_TRUE(VirtualProtect(base_ + length_ - page, page, PAGE_NOACCESS, &old));
#else
    void* mapped = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                        -1, 0);
    EXPECT_NE(mapped, MAP_FAILED);
    base_ = static_cast<char*>(mapped);
    EXPECT_EQ(mprotect(base_, page, PROT_NONE), 0);
    EXPECT_EQ(mprotect(base_ + length_ - page, page, PROT_NONE), 0);
#endif
    data_ = base_ + length_ - page - size;
    size_ = size;
  }

  GuardedBlock(const GuardedBlock&) = delete;
  GuardedBlock& operator=(const GuardedBlock&) = delete;

  ~GuardedBlock() {
#if defined(_WIN32)
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, length_);
#endif
  }

  [[nodiscard]] char* data() const { return data_; }
  [[nodiscard]] std::size_t size() const { return size_; }

  static std::size_t page_size() {
#if defined(_WIN32)
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
  }

 private:
  char* base_ = nullptr;
  char* data_ = nullptr;
  std::size_t length_ = 0;
  std::size_t size_ = 0;
};

// What the buffer holds before the call.
enum class Start {
  kLongestText,  // capacity - 1 letters and the NUL: the most an earlier call can have left
  kZeros,        // capacity - 1 zeros and the NUL: the longest start time
  kNoNul,        // capacity digits and no NUL: not text; the byte after it is inaccessible
};

// What must hold afterwards: the result, and the buffer (null: unchanged).
struct Row {
  const char* name;
  std::string text;  // placed with its NUL as the last accessible byte
  double number;
  Start start;
  float result;
  std::function<bool(const std::string& buffer)> buffer_ok;  // null: the buffer is unchanged
  const char* expectation;                                    // for the failure message
  // Set up before the call (answering a box, filling the clipboard); the returned object lives
  // until the call has returned.
  std::function<std::shared_ptr<void>()> arrange = nullptr;
};

// The C library's "%f" of `value`, as the buffer holds it: cut to the capacity.
std::string fixed6(double value) {
  char text[512];
  std::snprintf(text, sizeof text, "%f", value);
  return std::string(text).substr(0, kCapacity - 1);
}

std::function<bool(const std::string&)> equals(std::string expected) {
  return [expected = std::move(expected)](const std::string& buffer) { return buffer == expected; };
}

std::function<bool(const std::string&)> matches(std::string pattern) {
  return [pattern = std::move(pattern)](const std::string& buffer) {
    return std::regex_match(buffer, std::regex(pattern));
  };
}

// A text that fills `count` characters with repetitions of `piece`.
std::string repeated(const std::string& piece, std::size_t count) {
  std::string text;
  while (text.size() < count) {
    text += piece;
  }
  return text;
}

double degrees(double d) { return d * 3.14159265 / 180.0; }

const std::string kMaxHex = "0x1.fffffffffffffp1023";

std::vector<Row> rows() {
  const std::string long_text(kCapacity * 2, 'x');
  // 127 conversions of two characters: 254 characters, the most a time text may have; one more
  // character is too many.
  const std::string pattern_254 = repeated("%p", 254);
  const std::string pattern_255 = pattern_254 + "!";
  const auto cut = [](const std::string& text) { return text.substr(0, kCapacity - 1); };
  const std::string am_pm = "(" + cut(repeated("AM", 254)) + "|" + cut(repeated("PM", 254)) + ")";
  return {
      {"Version", long_text, 0.0, Start::kLongestText, 1.01f, nullptr, "untouched"},
      {"Is_Digit", std::string(kCapacity * 2, '7'), 0.0, Start::kNoNul, 1.0f, nullptr,
       "untouched"},
      {"Is_Alpha", long_text, 0.0, Start::kNoNul, 1.0f, nullptr, "untouched"},
      {"Is_Space", std::string(kCapacity * 2, ' '), 0.0, Start::kNoNul, 1.0f, nullptr,
       "untouched"},
      {"Is_Punct", std::string(kCapacity * 2, '!'), 0.0, Start::kNoNul, 1.0f, nullptr,
       "untouched"},
      {"Is_AlNum", long_text, 0.0, Start::kNoNul, 1.0f, nullptr, "untouched"},
      {"IsSwitchType", long_text, 0.0, Start::kNoNul, 0.0f, nullptr, "untouched"},
      // The longest number texts: 317 characters for -DBL_MAX.
      {"Sine", "", 270.0, Start::kLongestText, 1.0f, equals(fixed6(std::sin(degrees(270.0)))),
       "-1.000000"},
      {"Cosine", "", 180.0, Start::kLongestText, 1.0f, equals(fixed6(std::cos(degrees(180.0)))),
       "-1.000000"},
      {"Tangent", "", -90.0, Start::kLongestText, 1.0f,
       equals(fixed6(std::tan(degrees(-90.0)))), "the tangent"},
      {"Floor", "", -DBL_MAX, Start::kLongestText, 1.0f, equals(fixed6(-DBL_MAX)), "-DBL_MAX"},
      {"Ceil", "", -DBL_MAX, Start::kLongestText, 1.0f, equals(fixed6(-DBL_MAX)), "-DBL_MAX"},
      {"Trunc", "", -DBL_MAX, Start::kLongestText, 1.0f, equals(fixed6(-DBL_MAX)), "-DBL_MAX"},
      {"Round", "", -DBL_MAX, Start::kLongestText, 1.0f, equals(fixed6(-DBL_MAX)), "-DBL_MAX"},
      {"Exponent", "", 709.78, Start::kLongestText, 1.0f, equals(fixed6(std::exp(709.78))),
       "e to the 709.78"},
      {"Power", "-" + kMaxHex, 1.0, Start::kLongestText, 1.0f, equals(fixed6(-DBL_MAX)),
       "-DBL_MAX"},
      {"Power", kMaxHex, 1.0, Start::kLongestText, 1.0f, equals(fixed6(DBL_MAX)), "DBL_MAX"},
      {"Power", std::string(std::max<std::size_t>(kCapacity * 2, 400), '9'), 1.0,
       Start::kLongestText, 1.0f,
       equals(fixed6(INFINITY)), "inf"},
      {"Remainder", "-" + kMaxHex, static_cast<double>(FLT_MAX), Start::kLongestText, 1.0f,
       equals(fixed6(std::remainder(-DBL_MAX, static_cast<double>(FLT_MAX)))),
       "the remainder by FLT_MAX"},
      // Time texts: the longest allowed, and one too long.
      {"Time_Format", pattern_254, 0.0, Start::kLongestText, 1.0f,
       matches(am_pm), "254 characters of AM or PM"},
      {"Time_Format", pattern_255, 0.0, Start::kLongestText, 1.0f, equals(""), "empty"},
      {"Time_Format", repeated("%c", kCapacity * 2), 0.0, Start::kLongestText, 1.0f, equals(""),
       "empty"},
      {"Precision_TimeStamp", pattern_254, 0.0, Start::kLongestText, 1.0f,
       matches(am_pm), "254 characters of AM or PM"},
      {"Precision_TimeStamp", pattern_255, 0.0, Start::kLongestText, 1.0f, equals(""), "empty"},
      {"Precision_TimeStamp", repeated("x", 254), 0.0, Start::kLongestText, 1.0f,
       equals(cut(repeated("x", 254))), "254 x"},
      {"Start_Counter", "", 0.0, Start::kLongestText, 1.0f, matches("[1-9][0-9]*"),
       "the seconds"},
      // The longest start time, and a buffer that is no text.
      {"End_Counter", "", 0.0, Start::kZeros, 1.0f, matches("[1-9][0-9]*"),
       "the seconds since 1970"},
      {"End_Counter", "", 0.0, Start::kNoNul, 0.0f, nullptr, "untouched"},
      // Desktop exports join here, one row each, e.g. a message as long as the capacity:
      // {"MsgBoxInfo", std::string(kCapacity - 1, 'm'), 0.0, Start::kLongestText, 1.0f,
      //  equals(std::string(kCapacity - 1, 'm')), "the message", answer_box("OK")},
  };
}

TEST(GuardedBuffer, EveryExportStaysWithinTheCapacityAtItsLargestOutput) {
  ASSERT_EQ(GuardedBlock::page_size() % 16, 0U);
  for (const Row& row : rows()) {
    SCOPED_TRACE(std::string(row.name) + "(" + row.text.substr(0, 24) + "...)");
    const korvane_script_function function = find_export(row.name);
    ASSERT_NE(function, nullptr);

    GuardedBlock text(row.text.size() + 1);
    std::memcpy(text.data(), row.text.c_str(), row.text.size() + 1);
    GuardedBlock buffer(kCapacity);
    switch (row.start) {
      case Start::kLongestText:
        std::memset(buffer.data(), 'b', kCapacity - 1);
        buffer.data()[kCapacity - 1] = '\0';
        break;
      case Start::kZeros:
        std::memset(buffer.data(), '0', kCapacity - 1);
        buffer.data()[kCapacity - 1] = '\0';
        break;
      case Start::kNoNul:
        std::memset(buffer.data(), '7', kCapacity);
        break;
    }
    const std::string before(buffer.data(), kCapacity);

    float result = 0.0f;
    {
      const std::shared_ptr<void> arranged = row.arrange ? row.arrange() : nullptr;
      result = function(text.data(), row.number, buffer.data(), 0);
    }

    EXPECT_EQ(result, row.result);
    EXPECT_EQ(std::memcmp(text.data(), row.text.c_str(), row.text.size() + 1), 0)
        << "the text argument changed";
    const std::string after(buffer.data(), kCapacity);
    if (!row.buffer_ok) {
      EXPECT_TRUE(after == before) << "the buffer changed; expected " << row.expectation;
      continue;
    }
    const std::size_t nul = after.find('\0');
    ASSERT_NE(nul, std::string::npos) << "no NUL within the capacity";
    const std::string written = after.substr(0, nul);
    EXPECT_TRUE(row.buffer_ok(written))
        << "buffer \"" << written.substr(0, 80) << "\" (" << written.size()
        << " characters), expected " << row.expectation;
  }
}

}  // namespace
}  // namespace korvane::test
