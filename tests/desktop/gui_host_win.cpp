// Test host: a desktop program (GUI subsystem, WinMain), started by gui_launch as the desktop
// starts one: no console, null standard handles. It runs commands through _ShellExecute and
// checks the output, that no window of another program appears meanwhile (a console window of
// the command processor would), that a command reading standard input returns at once and that
// one writing to standard error does not get in the way.
//   gui_host REPORT
// Writes what it found to REPORT. Exit status 0 when every check held, 1 when one failed, 77
// (skipped; in CI, where nothing may be skipped, 1) when they held but, without a display, no
// window could have been seen.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host/library.hpp"
#include "support/missing.hpp"

namespace {

// Watches, from a thread of its own, for visible top-level windows of other programs while the
// object lives; windows() lists those seen (class and title).
class WindowWatch {
 public:
  WindowWatch() : thread_([this] { watch(); }) {}
  WindowWatch(const WindowWatch&) = delete;
  WindowWatch& operator=(const WindowWatch&) = delete;
  ~WindowWatch() { stop(); }

  const std::set<std::string>& windows() {
    stop();
    return seen_;
  }

 private:
  static BOOL CALLBACK note(HWND window, LPARAM context) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() && IsWindowVisible(window)) {
      char class_name[128] = "";
      char title[256] = "";
      GetClassNameA(window, class_name, sizeof class_name);
      GetWindowTextA(window, title, sizeof title);
      reinterpret_cast<std::set<std::string>*>(context)->insert(std::string(class_name) + " '" +
                                                                title + "'");
    }
    return TRUE;
  }

  void watch() {
    // A console window lives for as long as its command, a tenth of a second at the least.
    while (!done_.load()) {
      EnumWindows(note, reinterpret_cast<LPARAM>(&seen_));
      Sleep(2);
    }
  }

  void stop() {
    done_ = true;
    if (thread_.joinable()) {
      thread_.join();
    }
  }

  std::atomic<bool> done_{false};
  std::set<std::string> seen_;
  std::thread thread_;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc < 2) {
    return 2;
  }
  std::ofstream report(__argv[1], std::ios::binary);
  bool held = true;
  const auto check = [&](bool holds, const std::string& what) {
    report << (holds ? "ok:     " : "FAILED: ") << what << "\n";
    held = held && holds;
  };

  check(GetStdHandle(STD_INPUT_HANDLE) == nullptr && GetStdHandle(STD_OUTPUT_HANDLE) == nullptr &&
            GetStdHandle(STD_ERROR_HANDLE) == nullptr,
        "started as the desktop starts a program: null standard handles");
  std::string error;
  const auto library = korvane::host::Library::open(korvane::host::library_beside_program(), error);
  const korvane_script_function shell_execute =
      library != nullptr ? library->find("_ShellExecute") : nullptr;
  check(shell_execute != nullptr, "the library and _ShellExecute are there " + error);
  if (shell_execute == nullptr) {
    return 1;
  }

  std::string print_bytes = korvane::host::library_beside_program();
  print_bytes.replace(print_bytes.find_last_of('\\') + 1, std::string::npos, "print_bytes.exe");
  const struct {
    std::string command;
    std::string output;
  } cases[] = {
      {"echo hi", "hi\n"},
      // A console program of the command's own, for half a second.
      {print_bytes + " one\\n --pause 500 two\\n", "one\ntwo\n"},
      // Standard input is the null device: reading it ends at once.
      {"set /p line=& echo after", "after\n"},
      {"echo gone 1>&2& echo kept", "kept\n"},
  };
  std::vector<char> buffer(KORVANE_BUFFER_CAPACITY);
  for (const auto& c : cases) {
    buffer.assign(c.command.begin(), c.command.end());
    buffer.resize(KORVANE_BUFFER_CAPACITY, '\0');
    WindowWatch watch;
    const float result = shell_execute(nullptr, 0.0, buffer.data(), 0);
    const std::set<std::string>& windows = watch.windows();
    const std::string output = buffer.data();
    std::string shown;  // the output on one line
    for (const char character : output) {
      shown += character == '\n' ? std::string("\\n") : std::string(1, character);
    }
    check(result == 1.0f && output == c.output,
          c.command + ": result " + std::to_string(result) + ", output '" + shown + "'");
    std::string seen;
    for (const std::string& window : windows) {
      seen += " " + window;
    }
    check(windows.empty(), c.command + ": no window appeared" + (seen.empty() ? "" : ";" + seen));
  }
  const char* display = std::getenv("DISPLAY");
  if (held && (display == nullptr || *display == '\0')) {
    // No window could have appeared: skipped, or in CI failed (support/missing.hpp).
    const korvane::test::Absence absence =
        korvane::test::absence_of("a display (DISPLAY)", "run the tests through scripts/with-xvfb");
    report << absence.message << "\n";
    return absence.fails ? 1 : 77;
  }
  return held ? 0 : 1;
}
