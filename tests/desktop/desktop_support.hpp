// What the desktop tests need from the platform: a display, the clipboard filled by the test
// itself, someone to answer a message box, and command lines of the platform's command
// processor.
#pragma once

#include <future>
#include <string>
#include <string_view>
#include <vector>

#include "support/missing.hpp"

namespace korvane::test {

// The message boxes' captions, spelled out here independently of the library.
inline constexpr const char* kInfoCaption = "Confirm Warning Message ?";
inline constexpr const char* kWarningCaption = "DLL received Message";

// Whether a display is there to show message boxes on (DISPLAY is set).
bool has_display();

// Skips the running test, saying why, when there is no display (in CI: fails it).
#define SKIP_WITHOUT_DISPLAY()                                                                   \
  if (!::korvane::test::has_display()) {                                                         \
    KORVANE_MISSING("a display", "DISPLAY is not set: run the tests through scripts/with-xvfb"); \
  }

// Whether the test can fill the clipboard: Linux needs a display for it, Windows does not.
bool clipboard_available();

// Puts `bytes` on the clipboard as its only content, as 8-bit text.
void set_clipboard_text(std::string_view bytes);

// Puts the files `paths` on the clipboard as its only content, as a file manager does.
void set_clipboard_files(const std::vector<std::string>& paths);

// Two absolute paths of the platform, the second with a space in one of its names.
std::vector<std::string> example_paths();

// kEscape closes the box without pressing a button (not offered by every platform).
enum class Press { kOk, kYes, kNo, kEscape };

// What the answerer saw of the box it answered.
struct BoxSeen {
  bool found = false;
  std::string message;  // the text shown, where the platform lets a test read it
  std::string buttons;  // button texts, joined by '|', where readable
  bool expected_icon = false;
};

// Starts answering the next box titled `caption` on another thread, pressing `press` once it
// has appeared (giving up after a while when none does).
std::future<BoxSeen> answer_box(const char* caption, Press press);

// Command lines of the platform's command processor.
extern const char* const kTwoLinesCommand;                // prints "one" and "two", each on a line
extern const char* const kSilentCommand;                  // prints nothing
extern const char* const kMissingCommand;                 // names a program that does not exist
std::string print_file_command(const std::string& path);  // prints the file's bytes
// Runs the test helper print_bytes (beside the test program) with the space-separated words of
// `escaped` (\0 a NUL, \n a line feed, \r a carriage return, \xHH a byte; --repeat N TEXT,
// --numbered N TEXT, --pause MS): prints those bytes exactly, whatever the command processor
// does with text.
std::string print_bytes_command(const std::string& escaped);

// The path of the test helper program `name` (with the platform's suffix) beside the tests.
std::string helper_program(const char* name);

// A file of the test's own with `content`, removed when the object ends.
class TempFile {
 public:
  TempFile(const std::string& name, std::string_view content);
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();
  [[nodiscard]] const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace korvane::test
