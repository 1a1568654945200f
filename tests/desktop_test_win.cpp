// The desktop exports' Windows behaviour: the boxes' buttons and icons, clipboard data that
// stray from the rules, a busy clipboard, an owner that renders late or not at all, file names
// outside the code page, and the shell's failure.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <string>
#include <thread>

#include "desktop/desktop_support.hpp"
#include "desktop/desktop_support_win.hpp"
#include "support/calls.hpp"

namespace korvane::test {
namespace {

TEST(MessageBoxLook, InformationBoxHasOkAndTheInformationIcon) {
  SKIP_WITHOUT_DISPLAY();
  auto answer = answer_box(kInfoCaption, Press::kOk);
  const Outcome outcome = call("MsgBoxInfo", "All <done> & well", 0.0, "");
  const BoxSeen seen = answer.get();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.message, "All <done> & well");
  EXPECT_EQ(seen.buttons, "OK");
  EXPECT_TRUE(seen.expected_icon);
  EXPECT_EQ(outcome.buffer, "All <done> & well");
}

TEST(MessageBoxLook, WarningBoxHasYesNoAndTheWarningIcon) {
  SKIP_WITHOUT_DISPLAY();
  auto answer = answer_box(kWarningCaption, Press::kNo);
  const Outcome outcome = call("MsgBoxWarning", "Overwrite?", 0.0, "");
  const BoxSeen seen = answer.get();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.message, "Overwrite?");
  EXPECT_EQ(seen.buttons, "&Yes|&No");
  EXPECT_TRUE(seen.expected_icon);
  EXPECT_EQ(outcome.buffer, "No");
}

// CF_TEXT data whose memory block holds no NUL are read no further than the block.
TEST(ClipboardText, DataWithoutANulAreNotOverrun) {
  const std::string bytes(300, 't');
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  ASSERT_NE(block, nullptr);
  std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
  GlobalUnlock(block);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  ASSERT_NE(SetClipboardData(CF_TEXT, block), nullptr);
  CloseClipboard();

  const Outcome outcome = call("Get_ClipBoard_Text", nullptr, 0.0, "x");
  EXPECT_EQ(outcome.result, 1.0f);
  // Wine hands such text back a byte short: what counts is that nothing beyond is read.
  EXPECT_GE(outcome.buffer.size(), bytes.size());
  EXPECT_LE(outcome.buffer.size(), bytes.size() + 1);
  EXPECT_EQ(outcome.buffer.substr(0, 2), "xt");
  EXPECT_EQ(outcome.buffer.find_first_not_of('t', 1), std::string::npos);
}

TEST(ClipboardFiles, PathsLongerThan259CharactersAreWhole) {
  const std::string long_path = "C:\\deep\\" + std::string(300, 'n') + "\\file.txt";
  set_clipboard_files({"C:\\short.txt", long_path});
  const Outcome outcome = call("Get_ClipBoard_Files", nullptr, 0.0, "");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "C:\\short.txt\n" + long_path + "\n");
}

// A file list in UTF-16 whose names code page 1252 cannot all hold. Each path comes so that the
// host can open that very file: by its name where the code page holds it, else by its short
// name, else not at all; never a substituted name, which names no file or another one.
TEST(ClipboardFiles, NamesOutsideTheCodePageAreNeverSubstituted) {
  ASSERT_EQ(GetACP(), 1252u) << "the names are chosen for code page 1252";
  const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                       ("korvane-names-" + std::to_string(std::random_device()()));
  std::filesystem::create_directory(folder);
  const struct {
    const wchar_t* name;
    const char* content;  // nullptr: no such file
  } files[] = {
      {L"caf\u00e9 cr\u00e8me.txt", "held"},
      {L"\u041f\u0440\u0438\u0432\u0435\u0442 \u043c\u0438\u0440.txt", "cyrillic"},
      {L"\u65e5\u672c\u8a9e.txt", nullptr},
      {L"\U0001F600.txt", "emoji"},
      {L"\u0141\u00f3d\u017a.txt", "best fit"},  // best fit gives L\u00f3dz.txt, made below
      {L"L\u00f3dz.txt", "another file"},
  };
  std::vector<std::wstring> paths;
  for (const auto& file : files) {
    paths.push_back((folder / file.name).wstring());
    if (file.content != nullptr) {
      std::ofstream(folder / file.name) << file.content;
    }
  }
  paths.pop_back();  // the other file is not on the list
  set_clipboard_wide_files(paths);
  const Outcome outcome = call("Get_ClipBoard_Files", nullptr, 0.0, "");

  std::vector<std::string> contents;  // of the file each line names
  std::size_t start = 0;
  for (std::size_t end; (end = outcome.buffer.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = outcome.buffer.substr(start, end - start);
    std::string content = "(no such file: " + line + ")";
    if (std::FILE* opened = std::fopen(line.c_str(), "rb")) {
      char block[64];
      content.assign(block, std::fread(block, 1, sizeof block, opened));
      std::fclose(opened);
    }
    contents.push_back(content);
  }
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(start, outcome.buffer.size()) << "every path ends with a line feed";
  EXPECT_EQ(contents, (std::vector<std::string>{"held", "cyrillic", "emoji", "best fit"}))
      << outcome.buffer;
  EXPECT_EQ(outcome.buffer.substr(0, outcome.buffer.find('\n')),
            folder.string() + "\\caf\xE9 cr\xE8me.txt");
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

// A program started by the test that takes the clipboard and offers text by delayed rendering
// (the helper clipboard_owner: "answer TEXT" or "freeze"); ended with the object.
class ClipboardOwner {
 public:
  explicit ClipboardOwner(const std::string& arguments) {
    std::string command_line = "\"" + helper_program("clipboard_owner.exe") + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
      ADD_FAILURE() << "cannot start " << command_line;
      return;
    }
    CloseHandle(started.hThread);
    process_ = started.hProcess;
    // Ready once its window owns the clipboard. (Asking who owns it waits for nobody.)
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!owns_clipboard(started.dwProcessId) && running() &&
           std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(owns_clipboard(started.dwProcessId)) << command_line << " took no clipboard";
  }
  ClipboardOwner(const ClipboardOwner&) = delete;
  ClipboardOwner& operator=(const ClipboardOwner&) = delete;
  ~ClipboardOwner() {
    if (process_ != nullptr) {
      TerminateProcess(process_, 0);
      WaitForSingleObject(process_, 10000);
      CloseHandle(process_);
    }
  }

  [[nodiscard]] bool running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
  }

 private:
  static bool owns_clipboard(DWORD process) {
    DWORD owner_process = 0;
    const HWND owner = GetClipboardOwner();
    return owner != nullptr && GetWindowThreadProcessId(owner, &owner_process) != 0 &&
           owner_process == process;
  }

  HANDLE process_ = nullptr;
};

// Wine keeps delayed rendering to a display's clipboard: without one, there is no owner to ask.
TEST(DelayedRendering, AnOwnerThatAnswersRendersTheText) {
  SKIP_WITHOUT_DISPLAY();
  const ClipboardOwner owner("answer rendered");
  const Outcome outcome = call("Get_ClipBoard_Text", nullptr, 0.0, "x");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "xrendered");
}

// An owner that no longer answers makes each read give up within the bound of 2 seconds, with
// 0 and the buffer untouched, while that owner still holds out.
TEST(DelayedRendering, AFrozenOwnerGivesZeroWithinTheBound) {
  SKIP_WITHOUT_DISPLAY();
  const ClipboardOwner owner("freeze");
  for (const char* name : {"Get_ClipBoard_Text", "Get_ClipBoard_Files"}) {
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = call(name, nullptr, 0.0, "untouched");
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(outcome.result, 0.0f) << name;
    EXPECT_EQ(outcome.buffer, "untouched") << name;
    EXPECT_LT(spent, std::chrono::milliseconds(3000)) << name << ": the bound, with a margin";
    EXPECT_TRUE(owner.running()) << name << " waited for the owner to end";
  }
}

// Holds the clipboard open from another thread, with a window of its own, for `hold`.
std::future<void> hold_clipboard(std::chrono::milliseconds hold, std::promise<void>& opened) {
  return std::async(std::launch::async, [hold, &opened] {
    HWND window =
        CreateWindowA("STATIC", "holder", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const bool held = window != nullptr && OpenClipboard(window);
    opened.set_value();
    if (held) {
      std::this_thread::sleep_for(hold);
      CloseClipboard();
    }
    if (window != nullptr) {
      DestroyWindow(window);
    }
  });
}

TEST(BusyClipboard, AShortHoldIsWaitedOutALongOneGivesZero) {
  set_clipboard_text("free");
  {
    std::promise<void> opened;
    auto holder = hold_clipboard(std::chrono::milliseconds(30), opened);
    opened.get_future().wait();
    const Outcome outcome = call("Get_ClipBoard_Text", nullptr, 0.0, "");
    EXPECT_EQ(outcome.result, 1.0f);
    EXPECT_EQ(outcome.buffer, "free");
    holder.get();
  }
  {
    std::promise<void> opened;
    auto holder = hold_clipboard(std::chrono::milliseconds(1500), opened);
    opened.get_future().wait();
    for (const char* name : {"Get_ClipBoard_Text", "Get_ClipBoard_Files"}) {
      const Outcome outcome = call(name, nullptr, 0.0, "untouched");
      EXPECT_EQ(outcome.result, 0.0f) << name;
      EXPECT_EQ(outcome.buffer, "untouched") << name;
    }
    holder.get();
  }
  // Once given back, the clipboard is free again: no export left it open.
  EXPECT_EQ(call("Get_ClipBoard_Text", nullptr, 0.0, "").buffer, "free");
}

// The command's pipe is read in binary: CRLF becomes LF, also when the CR ends one read and the
// LF starts the next; a lone CR stays, and 0x1A does not end the output.
// (Not "ShellExecute": <windows.h> makes that name a macro.)
TEST(ShellExecuteOnWindows, LineEndsAreConvertedAndNothingIsLost) {
  std::string lines;
  for (int n = 1; n <= 100000; ++n) {
    lines += std::to_string(n) + "\n";
  }
  const struct {
    const char* escaped;
    std::string output;
  } cases[] = {
      {"ab\\r\\n\\x1A --numbered 100000 \\r\\n",
       ("ab\n\x1A" + lines).substr(0, KORVANE_BUFFER_CAPACITY - 1)},
      {"a\\r --pause 300 \\nb\\r --pause 300 c\\r\\n\\r --pause 300 \\r\\nend\\r",
       "a\nb\rc\n\r\nend\r"},
      {"\\r\\r\\n\\n\\r\\x1A\\r", "\r\n\n\r\x1A\r"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = call("_ShellExecute", nullptr, 0.0, print_bytes_command(c.escaped));
    EXPECT_EQ(outcome.result, 1.0f) << c.escaped;
    EXPECT_EQ(outcome.buffer, c.output) << c.escaped;
  }
}

TEST(OpenURL, APathThatDoesNotExistGivesZero) {
  const Outcome outcome =
      call("OpenURL", "C:\\no\\such\\folder\\nothing-here.korvane", 0.0, "kept");
  EXPECT_EQ(outcome.result, 0.0f);
  EXPECT_EQ(outcome.buffer, "kept");
}

}  // namespace
}  // namespace korvane::test
