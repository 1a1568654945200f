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
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "desktop/desktop_support.hpp"
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
    base_ = static_cast<char*>(
        VirtualAlloc(nullptr, length_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    EXPECT_NE(base_, nullptr);
    DWORD old = 0;
    EXPECT_TRUE(VirtualProtect(base_, page, PAGE_NOACCESS, &old));
    EXPECT_TRUE(VirtualProtect(base_ + length_ - page, page, PAGE_NOACCESS, &old));
#else
    void* mapped =
        mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
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
  kEmpty,        // the NUL first: an empty text
  kCommand,      // the row's command line and its NUL
};

// What a row needs around its call; a row whose need is not met is skipped, and says so.
enum class Needs {
  kNothing,
  kDisplay,    // a message box is shown and answered
  kClipboard,  // the test fills the clipboard
};

// What must hold afterwards: the result, and the buffer (null: unchanged).
struct Row {
  const char* name;
  std::string text;  // placed with its NUL as the last accessible byte
  double number;
  Start start;
  float result;
  std::function<bool(const std::string& buffer)> buffer_ok;  // null: the buffer is unchanged
  const char* expectation;                                   // for the failure message
  // Set up before the call (answering a box, filling the clipboard); the returned object lives
  // until the call has returned.
  std::function<std::shared_ptr<void>()> arrange = nullptr;
  Needs needs = Needs::kNothing;
  std::string command = {};  // the buffer's start with Start::kCommand
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

// "1\n2\n...": what counting from 1 to `last` prints, one number a line.
std::string counting(int last) {
  std::string text;
  for (int number = 1; number <= last; ++number) {
    text += std::to_string(number) + "\n";
  }
  return text;
}

// Answers the next box titled `caption` once it shows; by the time the call has returned (and
// this object ends) the box must have been found, or the call answered without the user.
struct AnsweredBox {
  const char* caption = nullptr;
  std::future<BoxSeen> seen;
  AnsweredBox() = default;
  AnsweredBox(const AnsweredBox&) = delete;
  AnsweredBox& operator=(const AnsweredBox&) = delete;
  ~AnsweredBox() { EXPECT_TRUE(seen.get().found) << "no box titled '" << caption << "'"; }
};

std::function<std::shared_ptr<void>()> answering(const char* caption, Press press) {
  return [caption, press] {
    auto box = std::make_shared<AnsweredBox>();
    box->caption = caption;
    box->seen = answer_box(caption, press);
    return std::shared_ptr<void>(box);
  };
}

std::function<std::shared_ptr<void>()> clipboard_text(std::string bytes) {
  return [bytes = std::move(bytes)] {
    set_clipboard_text(bytes);
    return std::shared_ptr<void>();
  };
}

std::function<std::shared_ptr<void>()> clipboard_files(std::vector<std::string> paths) {
  return [paths = std::move(paths)] {
    set_clipboard_files(paths);
    return std::shared_ptr<void>();
  };
}

// Long paths (one with a space, to be decoded on Linux) until their lines pass twice the
// capacity.
std::vector<std::string> many_long_paths() {
#if defined(_WIN32)
  const std::string folder = "C:\\korvane guarded\\";
#else
  const std::string folder = "/tmp/korvane guarded/";
#endif
  std::vector<std::string> paths;
  std::size_t length = 0;
  while (length <= 2 * kCapacity) {
    paths.push_back(folder + std::string(300, 'f') + std::to_string(paths.size()) + ".txt");
    length += paths.back().size() + 1;
  }
  return paths;
}

std::string lines_of(const std::vector<std::string>& paths) {
  std::string lines;
  for (const std::string& path : paths) {
    lines += path + "\n";
  }
  return lines;
}

// A command line that fits the buffer and prints far more than the capacity, and what the
// buffer then holds.
#if defined(_WIN32)
std::function<bool(const std::string&)> has_length(std::size_t length) {
  return [length](const std::string& buffer) { return buffer.size() == length; };
}

// cmd's counting loop does not fit a tiny buffer; its environment listing does.
constexpr int kLastNumber = static_cast<int>(kCapacity / 2 + 10);
const std::string kLongOutputCommand =
    kCapacity >= 64 ? "for /l %i in (1,1," + std::to_string(kLastNumber) + ") do @echo %i" : "set";
const auto kLongOutputCut = kCapacity >= 64 ? equals(counting(kLastNumber).substr(0, kCapacity - 1))
                                            : has_length(kCapacity - 1);
#else
const std::string kLongOutputCommand = "seq 99999";
const auto kLongOutputCut = equals(counting(99999).substr(0, kCapacity - 1));
#endif

// OpenURL's result for `target`, a path that does not exist: 0 on both platforms (Windows'
// shell finds no such file; on Linux nothing is started for it).
float open_result(const std::string& target) {
  static_cast<void>(target);
  return 0.0f;
}

const std::string kMaxHex = "0x1.fffffffffffffp1023";

std::vector<Row> rows() {
  const std::string long_text(kCapacity * 2, 'x');
  // 127 conversions of two characters: 254 characters, the most a time text may have; one more
  // character is too many.
  const std::string pattern_254 = repeated("%p", 254);
  const std::string pattern_255 = pattern_254 + "!";
  const auto cut = [](const std::string& text) { return text.substr(0, kCapacity - 1); };
  const std::string am_pm = "(" + cut(repeated("AM", 254)) + "|" + cut(repeated("PM", 254)) + ")";
  const std::string message(kCapacity - 1, 'm');
  const std::string clipboard = repeated("clipboard text ", kCapacity * 2);
  const std::vector<std::string> paths = many_long_paths();
  const std::string url = "/korvane-no-such-folder/" + std::string(kCapacity * 2, 'u');
  return {
      {"Version", long_text, 0.0, Start::kLongestText, 1.01f, nullptr, "untouched"},
      {"Is_Digit", std::string(kCapacity * 2, '7'), 0.0, Start::kNoNul, 1.0f, nullptr, "untouched"},
      {"Is_Alpha", long_text, 0.0, Start::kNoNul, 1.0f, nullptr, "untouched"},
      {"Is_Space", std::string(kCapacity * 2, ' '), 0.0, Start::kNoNul, 1.0f, nullptr, "untouched"},
      {"Is_Punct", std::string(kCapacity * 2, '!'), 0.0, Start::kNoNul, 1.0f, nullptr, "untouched"},
      {"Is_AlNum", long_text, 0.0, Start::kNoNul, 1.0f, nullptr, "untouched"},
      {"IsSwitchType", long_text, 0.0, Start::kNoNul, 0.0f, nullptr, "untouched"},
      // The longest number texts: 317 characters for -DBL_MAX.
      {"Sine", "", 270.0, Start::kLongestText, 1.0f, equals(fixed6(std::sin(degrees(270.0)))),
       "-1.000000"},
      {"Cosine", "", 180.0, Start::kLongestText, 1.0f, equals(fixed6(std::cos(degrees(180.0)))),
       "-1.000000"},
      {"Tangent", "", -90.0, Start::kLongestText, 1.0f, equals(fixed6(std::tan(degrees(-90.0)))),
       "the tangent"},
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
       Start::kLongestText, 1.0f, equals(fixed6(INFINITY)), "inf"},
      {"Remainder", "-" + kMaxHex, static_cast<double>(FLT_MAX), Start::kLongestText, 1.0f,
       equals(fixed6(std::remainder(-DBL_MAX, static_cast<double>(FLT_MAX)))),
       "the remainder by FLT_MAX"},
      // Time texts: the longest allowed, and one too long.
      {"Time_Format", pattern_254, 0.0, Start::kLongestText, 1.0f, matches(am_pm),
       "254 characters of AM or PM"},
      {"Time_Format", pattern_255, 0.0, Start::kLongestText, 1.0f, equals(""), "empty"},
      {"Time_Format", repeated("%c", kCapacity * 2), 0.0, Start::kLongestText, 1.0f, equals(""),
       "empty"},
      {"Precision_TimeStamp", pattern_254, 0.0, Start::kLongestText, 1.0f, matches(am_pm),
       "254 characters of AM or PM"},
      {"Precision_TimeStamp", pattern_255, 0.0, Start::kLongestText, 1.0f, equals(""), "empty"},
      {"Precision_TimeStamp", repeated("x", 254), 0.0, Start::kLongestText, 1.0f,
       equals(cut(repeated("x", 254))), "254 x"},
      {"Start_Counter", "", 0.0, Start::kLongestText, 1.0f, matches("[1-9][0-9]*"), "the seconds"},
      // The longest start time, and a buffer that is no text.
      {"End_Counter", "", 0.0, Start::kZeros, 1.0f, matches("[1-9][0-9]*"),
       "the seconds since 1970"},
      {"End_Counter", "", 0.0, Start::kNoNul, 0.0f, nullptr, "untouched"},
      // Desktop exports. A message as long as the capacity comes back whole, or the answer.
      {"MsgBoxInfo", message, 0.0, Start::kLongestText, 1.0f, equals(message), "the message",
       answering(kInfoCaption, Press::kOk), Needs::kDisplay},
      {"MsgBoxWarning", message, 0.0, Start::kLongestText, 1.0f, equals("Yes"), "Yes",
       answering(kWarningCaption, Press::kYes), Needs::kDisplay},
      {"MsgBoxWarning", message, 0.0, Start::kNoNul, 1.0f, equals("No"), "No",
       answering(kWarningCaption, Press::kNo), Needs::kDisplay},
      // Clipboard text of twice the capacity: cut into an empty buffer, nothing added to a full
      // one, and a buffer that is no text is left alone.
      {"Get_ClipBoard_Text", "", 0.0, Start::kEmpty, 1.0f, equals(cut(clipboard)),
       "the clipboard's text up to the capacity", clipboard_text(clipboard), Needs::kClipboard},
      {"Get_ClipBoard_Text", "", 0.0, Start::kLongestText, 1.0f,
       equals(std::string(kCapacity - 1, 'b')), "the starting text", clipboard_text(clipboard),
       Needs::kClipboard},
      {"Get_ClipBoard_Text", "", 0.0, Start::kNoNul, 0.0f, nullptr, "untouched",
       clipboard_text(clipboard), Needs::kClipboard},
      {"Get_ClipBoard_Files", "", 0.0, Start::kEmpty, 1.0f, equals(cut(lines_of(paths))),
       "the paths, a line each, up to the capacity", clipboard_files(paths), Needs::kClipboard},
      {"Get_ClipBoard_Files", "", 0.0, Start::kNoNul, 0.0f, nullptr, "untouched",
       clipboard_files(paths), Needs::kClipboard},
      // Output far past the capacity: the buffer is full and the call returns.
      {"_ShellExecute", "", 0.0, Start::kCommand, 1.0f, kLongOutputCut,
       "the output up to the capacity", nullptr, Needs::kNothing, kLongOutputCommand},
      {"OpenURL", url, 0.0, Start::kLongestText, open_result(url), nullptr, "untouched"},
  };
}

void check(const Row& row) {
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
    case Start::kNoNul: std::memset(buffer.data(), '7', kCapacity); break;
    case Start::kEmpty:
      std::memset(buffer.data(), 'e', kCapacity);
      buffer.data()[0] = '\0';
      break;
    case Start::kCommand:
      ASSERT_LT(row.command.size(), kCapacity) << "the command does not fit the buffer";
      std::memset(buffer.data(), 'e', kCapacity);
      std::memcpy(buffer.data(), row.command.c_str(), row.command.size() + 1);
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
    return;
  }
  const std::size_t nul = after.find('\0');
  ASSERT_NE(nul, std::string::npos) << "no NUL within the capacity";
  const std::string written = after.substr(0, nul);
  EXPECT_TRUE(row.buffer_ok(written))
      << "buffer \"" << written.substr(0, 80) << "\" (" << written.size()
      << " characters), expected " << row.expectation;
}

void check_rows(Needs needs) {
  ASSERT_EQ(GuardedBlock::page_size() % 16, 0U);
  int checked = 0;
  for (const Row& row : rows()) {
    if (row.needs == needs) {
      check(row);
      ++checked;
    }
  }
  EXPECT_GT(checked, 0);
}

TEST(GuardedBuffer, EveryExportStaysWithinTheCapacityAtItsLargestOutput) {
  check_rows(Needs::kNothing);
}

TEST(GuardedBuffer, MessageBoxesStayWithinTheCapacity) {
  if (!has_display()) {
    KORVANE_MISSING("a display",
                    "DISPLAY is not set: message boxes need one; run the tests "
                    "through scripts/with-xvfb");
  }
  check_rows(Needs::kDisplay);
}

TEST(GuardedBuffer, ClipboardExportsStayWithinTheCapacity) {
  if (!clipboard_available()) {
    KORVANE_MISSING("a display",
                    "DISPLAY is not set: the clipboard needs one; run the tests "
                    "through scripts/with-xvfb");
  }
  check_rows(Needs::kClipboard);
}

}  // namespace
}  // namespace korvane::test
