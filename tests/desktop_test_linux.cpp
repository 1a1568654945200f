// The desktop exports' Linux behaviour: no display, the file list's URIs, descriptors and
// children of the host, and a host that ignores SIGCHLD.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "desktop/desktop_support.hpp"
#include "desktop/desktop_support_linux.hpp"
#include "support/calls.hpp"

namespace korvane::test {
namespace {

// Sets (or, with nothing, removes) an environment variable for the length of a scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    set(value);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() { set(old_); }

 private:
  void set(const std::optional<std::string>& value) {
    if (value) {
      setenv(name_, value->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  const char* name_;
  std::optional<std::string> old_;
};

// Ignores SIGCHLD for the length of a scope, as some hosts do for good.
class IgnoredSigchld {
 public:
  IgnoredSigchld() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGCHLD, &ignore, &old_);
  }
  IgnoredSigchld(const IgnoredSigchld&) = delete;
  IgnoredSigchld& operator=(const IgnoredSigchld&) = delete;
  ~IgnoredSigchld() { sigaction(SIGCHLD, &old_, nullptr); }

 private:
  struct sigaction old_ {};
};

// True when the test program has no child process, running or unreaped.
bool has_no_children() {
  int status = 0;
  return waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

// A directory of the test's own, removed with everything in it when the object ends.
class TempDirectory {
 public:
  TempDirectory()
      : path_(std::filesystem::temp_directory_path() /
              ("korvane-dir-" + std::to_string(std::random_device()()))) {
    std::filesystem::create_directories(path_);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& path) {
  std::string content;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char block[512];
    while (const std::size_t count = std::fread(block, 1, sizeof block, file)) {
      content.append(block, count);
    }
    std::fclose(file);
  }
  return content;
}

TEST(NoDisplay, ClipboardGivesZeroAndMessageBoxesDoNotWait) {
  const ScopedEnvironment no_x("DISPLAY", std::nullopt);
  const ScopedEnvironment no_wayland("WAYLAND_DISPLAY", std::nullopt);
  for (const char* name : {"Get_ClipBoard_Text", "Get_ClipBoard_Files"}) {
    const Outcome outcome = call(name, nullptr, 0.0, "untouched");
    EXPECT_EQ(outcome.result, 0.0f) << name;
    EXPECT_EQ(outcome.buffer, "untouched") << name;
  }
  const Outcome warning = call("MsgBoxWarning", "Continue?", 0.0, "Yes");
  EXPECT_EQ(warning.result, 1.0f);
  EXPECT_EQ(warning.buffer, "No");
  const Outcome info = call("MsgBoxInfo", "noted", 0.0, "earlier");
  EXPECT_EQ(info.result, 1.0f);
  EXPECT_EQ(info.buffer, "noted");
}

TEST(NoDisplay, NoDialogProgramMeansNoAndACopy) {
  SKIP_WITHOUT_DISPLAY();
  const TempDirectory empty;
  const ScopedEnvironment path("PATH", empty.path().string());
  EXPECT_EQ(call("MsgBoxWarning", "Continue?", 0.0, "Yes").buffer, "No");
  EXPECT_EQ(call("MsgBoxInfo", "noted", 0.0, "").buffer, "noted");
  // No clipboard tool either: 0, buffer untouched.
  const Outcome text = call("Get_ClipBoard_Text", nullptr, 0.0, "untouched");
  EXPECT_EQ(text.result, 0.0f);
  EXPECT_EQ(text.buffer, "untouched");
}

TEST(MsgBoxWarning, ClosingTheBoxIsANo) {
  SKIP_WITHOUT_DISPLAY();
  auto answer = answer_box(kWarningCaption, Press::kEscape);
  const Outcome outcome = call("MsgBoxWarning", "Close me", 0.0, "");
  EXPECT_TRUE(answer.get().found);
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "No");
}

// Without zenity, kdialog shows the boxes. KDE appends its program name to window titles
// ("DLL received Message — KDialog"), so the title is matched up to that suffix.
TEST(KdialogBoxes, AnswerLikeZenityBoxes) {
  SKIP_WITHOUT_DISPLAY();
  const auto kdialog = std::filesystem::path("/usr/bin/kdialog");
  if (!std::filesystem::exists(kdialog)) {
    KORVANE_MISSING("kdialog", "apt-get install kdialog");
  }
  const TempDirectory only_kdialog;
  std::filesystem::create_symlink(kdialog, only_kdialog.path() / "kdialog");
  const ScopedEnvironment path("PATH", only_kdialog.path().string());
  const struct {
    const char* name;
    const char* caption;
    Press press;
    const char* buffer;
  } cases[] = {
      {"MsgBoxInfo", kInfoCaption, Press::kOk, "Plain <b>text</b> &amp; more"},
      {"MsgBoxWarning", kWarningCaption, Press::kYes, "Yes"},
      {"MsgBoxWarning", kWarningCaption, Press::kNo, "No"},
  };
  for (const auto& c : cases) {
    std::string pattern = exact_pattern(c.caption);
    pattern.pop_back();  // the closing '$'
    auto answer = answer_window(pattern + "( .*KDialog)?$", c.press);
    const Outcome outcome = call(c.name, "Plain <b>text</b> &amp; more", 0.0, "");
    EXPECT_TRUE(answer.get().found) << c.caption;
    EXPECT_EQ(outcome.result, 1.0f);
    EXPECT_EQ(outcome.buffer, c.buffer);
  }
}

TEST(ClipboardFiles, FileUrisArePercentDecodedAndOthersSkipped) {
  SKIP_WITHOUT_DISPLAY();
  const struct {
    const char* list;
    const char* paths;
  } cases[] = {
      {"file:///tmp/a%20b%25c%5B1%5D.txt\r\nfile:///tmp/plain\r\n",
       "/tmp/a b%c[1].txt\n/tmp/plain\n"},
      {"# a comment\r\nhttps://example.com/x\r\nfile://localhost/srv/%C3%A9t%C3%A9\r\n"
       "file://otherhost/share/f\r\nfile:///last",
       "/srv/\xC3\xA9t\xC3\xA9\n/last\n"},
      {"file:///with%0Anewline\nfile:///ok%2\n", "/ok%2\n"},
      // Spellings of a local file: any case of the scheme and of localhost, one slash, encoded
      // slashes, stray percent signs, a query and a fragment dropped.
      {"FILE://LocalHost/x\nfile:/single/slash\nfile:///p%2fq%2Fr\nfile:///odd%zz%4\n"
       "file:///q?query#fragment\n",
       "/x\n/single/slash\n/p/q/r\n/odd%zz%4\n/q\n"},
      // What names no local file appends nothing.
      {"\nfile:\nfile://\nfile://host/x\nhttp://localhost/x\nfiles:///x\nfile:relative\n"
       "file:///nul%00byte\n/plain/path\n",
       ""},
  };
  for (const auto& c : cases) {
    offer_clipboard("text/uri-list", c.list);
    const Outcome outcome = call("Get_ClipBoard_Files", nullptr, 0.0, "");
    EXPECT_EQ(outcome.result, 1.0f) << c.list;
    EXPECT_EQ(outcome.buffer, c.paths) << c.list;
  }
}

TEST(ClipboardText, EndsAtItsFirstNul) {
  SKIP_WITHOUT_DISPLAY();
  offer_clipboard("UTF8_STRING", std::string("ab\0cd", 5));
  EXPECT_EQ(call("Get_ClipBoard_Text", nullptr, 0.0, ">").buffer, ">ab");
}

TEST(ShellExecute, RunsTheCommandLineThroughTheShell) {
  const Outcome outcome =
      call("_ShellExecute", nullptr, 0.0, "for w in a 'b c'; do echo \"[$w]\"; done; echo err >&2");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "[a]\n[b c]\n");
}

TEST(ShellExecute, TheHostsDescriptorsDoNotLeakIntoTheCommand) {
  // A descriptor opened without close-on-exec, as careless hosts do.
  const int host_fd = open("/dev/null", O_RDONLY);
  ASSERT_GE(host_fd, 3);
  const std::string command = "if [ -e /proc/$$/fd/" + std::to_string(host_fd) +
                              " ]; then echo leaked; else echo closed; fi";
  const Outcome outcome = call("_ShellExecute", nullptr, 0.0, command);
  close(host_fd);
  EXPECT_EQ(outcome.buffer, "closed\n");
  EXPECT_TRUE(has_no_children());
}

TEST(SigchldIgnored, CallsStillComplete) {
  const IgnoredSigchld ignored;
  const Outcome outcome = call("_ShellExecute", nullptr, 0.0, "echo still; exit 3");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "still\n");
  if (!has_display()) {
    KORVANE_MISSING("a display", "DISPLAY is not set: the message box part needs one");
  }
  // The answer does not depend on the dialog's exit status, which is lost here.
  auto answer = answer_box(kWarningCaption, Press::kYes);
  const Outcome warning = call("MsgBoxWarning", "Still there?", 0.0, "");
  EXPECT_TRUE(answer.get().found);
  EXPECT_EQ(warning.buffer, "Yes");
}

// xdg-open stands in as a script that records its argument and then lingers.
TEST(OpenURL, StartsTheOpenerDetachedWithTheTextAsOneArgument) {
  const TempDirectory directory;
  const std::filesystem::path record = directory.path() / "opened";
  const std::filesystem::path opener = directory.path() / "xdg-open";
  {
    std::ofstream script(opener);
    script << "#!/bin/sh\nprintf '%s' \"$1\" > " << shell_quote((record.string() + ".tmp"))
           << "\nmv " << shell_quote(record.string() + ".tmp") << ' '
           << shell_quote(record.string()) << "\nsleep 3\n";
  }
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  const std::string original_path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  const ScopedEnvironment path("PATH", directory.path().string() + ":" + original_path);
  const std::filesystem::path touched = directory.path() / "touched";
  const std::string target = "http://example.invalid/a b?x=1&y=2;$(touch " + touched.string() +
                             ")'\"`touch " + touched.string() + "`";

  const auto start = std::chrono::steady_clock::now();
  const Outcome outcome = call("OpenURL", target.c_str(), 0.0, "kept");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "kept");
  EXPECT_LT(took, std::chrono::seconds(2)) << "the call waited for the opener";
  EXPECT_TRUE(has_no_children()) << "the opener is a child of the host";

  for (int i = 0; i < 200 && !std::filesystem::exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(read_file(record), target);
  EXPECT_FALSE(std::filesystem::exists(touched)) << "the text went through a shell";
}

TEST(OpenURL, NoOpenerGivesZero) {
  const TempDirectory empty;
  const ScopedEnvironment path("PATH", empty.path().string());
  EXPECT_EQ(call("OpenURL", "http://example.invalid/", 0.0).result, 0.0f);
}

// ---------------------------------------------------------------------------------------------
// The clipboard when it cannot be reached, when its owner hangs, and through each tool.

const std::string kXclip = find_tool("xclip");
const std::string kWlCopy = find_tool("wl-copy");
const std::string kWlPaste = find_tool("wl-paste");
const std::string kXdgMime = find_tool("xdg-mime");
const std::string kXselPath = program_path("xsel");
const std::string kWlPastePath = program_path("wl-paste");
const std::string kXdgOpenPath = program_path("xdg-open");

// A display number with no X server behind it.
constexpr const char* kNoServerDisplay = ":64999";

// Both clipboard exports give 0 and leave the buffer as it was.
void expect_unreachable(const std::string& context) {
  for (const char* name : {"Get_ClipBoard_Text", "Get_ClipBoard_Files"}) {
    const Outcome outcome = call(name, nullptr, 0.0, "untouched");
    EXPECT_EQ(outcome.result, 0.0f) << name << ", " << context;
    EXPECT_EQ(outcome.buffer, "untouched") << name << ", " << context;
  }
}

// A Unix socket that nobody listens on any more, as a compositor that has gone leaves it.
void make_dead_socket(const std::filesystem::path& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.string().size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, path.c_str());
  EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

// An X clipboard owner of the test's own: `xclip -quiet` serving `text` until it is ended. It is
// not the test's child (its shell has ended), so that has_no_children() stays meaningful.
class XClipboardOwner {
 public:
  explicit XClipboardOwner(std::string_view text) : data_("owned", text) {
    const std::string started =
        bytes_of(kXclip + " -quiet -selection clipboard -i " + shell_quote(data_.path()) +
                 " </dev/null >/dev/null 2>&1 & echo $!");
    pid_ = std::atoi(started.c_str());
    EXPECT_GT(pid_, 0) << "xclip did not start";
    std::string served;
    for (int attempt = 0; attempt < 100; ++attempt) {
      served = bytes_of(kXclip + " -selection clipboard -o 2>&1");
      if (served == text) {
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << "the clipboard owner does not serve the test's text; the clipboard gives '"
                  << served << "'; owner " << pid_ << (kill(pid_, 0) == 0 ? " alive" : " gone");
  }
  XClipboardOwner(const XClipboardOwner&) = delete;
  XClipboardOwner& operator=(const XClipboardOwner&) = delete;
  ~XClipboardOwner() { end(); }

  void signal(int number) const {
    if (pid_ > 0) {
      kill(pid_, number);
    }
  }

  // Ends the owner; the clipboard then has none.
  void end() {
    if (pid_ > 0) {
      kill(pid_, SIGCONT);
      kill(pid_, SIGTERM);
      for (int i = 0; i < 100 && kill(pid_, 0) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      pid_ = -1;
    }
  }

 private:
  TempFile data_;
  pid_t pid_ = -1;
};

// Leaves the X clipboard without an owner.
void empty_x_clipboard() {
  XClipboardOwner owner("to be dropped");
  owner.end();
  for (int i = 0; i < 100; ++i) {
    if (std::system((kXclip + " -selection clipboard -o -t TARGETS >/dev/null 2>&1").c_str()) !=
        0) {
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ADD_FAILURE() << "the X clipboard still has an owner";
}

TEST(UnreachableClipboard, GivesZeroAndLeavesTheBuffer) {
  const TempDirectory runtime;
  make_dead_socket(runtime.path() / "wayland-dead");
  const ScopedEnvironment runtime_dir("XDG_RUNTIME_DIR", runtime.path().string());
  {
    const ScopedEnvironment x("DISPLAY", kNoServerDisplay);
    const ScopedEnvironment wayland("WAYLAND_DISPLAY", std::nullopt);
    expect_unreachable("DISPLAY with no server");
  }
  if (kWlPastePath.empty()) {
    KORVANE_MISSING("wl-paste", "scripts/install-deps installs wl-clipboard");
  }
  {
    const ScopedEnvironment x("DISPLAY", std::nullopt);
    const ScopedEnvironment wayland("WAYLAND_DISPLAY", "wayland-dead");
    expect_unreachable("WAYLAND_DISPLAY naming a dead socket, no X");
  }
  {
    const ScopedEnvironment x("DISPLAY", kNoServerDisplay);
    const ScopedEnvironment wayland("WAYLAND_DISPLAY", "wayland-dead");
    expect_unreachable("a dead socket and a display with no server");
  }
}

TEST(ClipboardX, NoOwnerIsAnEmptyClipboard) {
  SKIP_WITHOUT_DISPLAY();
  empty_x_clipboard();
  for (const char* name : {"Get_ClipBoard_Text", "Get_ClipBoard_Files"}) {
    const Outcome outcome = call(name, nullptr, 0.0, "kept");
    EXPECT_EQ(outcome.result, 1.0f) << name;
    EXPECT_EQ(outcome.buffer, "kept") << name;
  }
}

// An owner that never answers (stopped) makes the call give up with 0, the tool ended and
// reaped. The time is checked loosely: the bound itself is 2 seconds.
TEST(ClipboardX, AFrozenOwnerGivesZeroWithinTheBound) {
  SKIP_WITHOUT_DISPLAY();
  XClipboardOwner owner("never served");
  owner.signal(SIGSTOP);
  for (const char* name : {"Get_ClipBoard_Text", "Get_ClipBoard_Files"}) {
    const auto start = std::chrono::steady_clock::now();
    const Outcome outcome = call(name, nullptr, 0.0, "untouched");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(outcome.result, 0.0f) << name;
    EXPECT_EQ(outcome.buffer, "untouched") << name;
    EXPECT_LT(took, std::chrono::seconds(10)) << name;
    EXPECT_TRUE(has_no_children()) << name << ": the paste tool was left behind";
  }
  owner.end();
  // Once the owner is gone the clipboard answers again, as empty.
  EXPECT_EQ(call("Get_ClipBoard_Text", nullptr, 0.0, "kept").result, 1.0f);
}

// With xsel the only X tool: text is read, an empty clipboard is empty, and the file list, which
// xsel cannot ask for, gives 0.
TEST(ClipboardX, XselAlone) {
  SKIP_WITHOUT_DISPLAY();
  if (kXselPath.empty()) {
    KORVANE_MISSING("xsel", "scripts/install-deps installs it");
  }
  const TempDirectory only_xsel;
  std::filesystem::create_symlink(kXselPath, only_xsel.path() / "xsel");
  const ScopedEnvironment path("PATH", only_xsel.path().string());
  const ScopedEnvironment wayland("WAYLAND_DISPLAY", std::nullopt);

  set_clipboard_text("through xsel\nsecond line");
  Outcome outcome = call("Get_ClipBoard_Text", nullptr, 0.0, ">");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, ">through xsel\nsecond line");
  outcome = call("Get_ClipBoard_Files", nullptr, 0.0, "untouched");
  EXPECT_EQ(outcome.result, 0.0f);
  EXPECT_EQ(outcome.buffer, "untouched");

  empty_x_clipboard();
  outcome = call("Get_ClipBoard_Text", nullptr, 0.0, "kept");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "kept");

  const ScopedEnvironment no_server("DISPLAY", kNoServerDisplay);
  outcome = call("Get_ClipBoard_Text", nullptr, 0.0, "untouched");
  EXPECT_EQ(outcome.result, 0.0f);
  EXPECT_EQ(outcome.buffer, "untouched");
}

// WAYLAND_DISPLAY naming a dead socket (a stale variable, or XWayland's case) gives way to the
// X clipboard.
TEST(ClipboardWaylandFallback, ADeadSocketFallsBackToX) {
  SKIP_WITHOUT_DISPLAY();
  if (kWlPastePath.empty()) {
    KORVANE_MISSING("wl-paste", "scripts/install-deps installs wl-clipboard");
  }
  const TempDirectory runtime;
  make_dead_socket(runtime.path() / "wayland-dead");
  const ScopedEnvironment runtime_dir("XDG_RUNTIME_DIR", runtime.path().string());
  const ScopedEnvironment wayland("WAYLAND_DISPLAY", "wayland-dead");
  set_clipboard_text("from X");
  Outcome outcome = call("Get_ClipBoard_Text", nullptr, 0.0, "x:");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "x:from X");
  set_clipboard_files({"/tmp/from x.txt"});
  outcome = call("Get_ClipBoard_Files", nullptr, 0.0, "");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "/tmp/from x.txt\n");
}

// A headless compositor started for these tests (tests/desktop/wayland-session): sway, whose
// clipboard works, and weston, which has no seat and so no clipboard.
class WaylandSession {
 public:
  WaylandSession(const char* kind) : runtime_(directory_.path() / "runtime") {
    const std::string command = shell_quote(KORVANE_DESKTOP_TEST_SCRIPTS "/wayland-session") +
                                " start " + shell_quote(runtime_.string()) + " " + kind + " 2>&1";
    const std::string printed = bytes_of(command);
    if (printed.rfind("wayland-", 0) == 0 && printed.find('\n') == printed.size() - 1) {
      socket_ = printed.substr(0, printed.size() - 1);
    } else {
      failure_ = printed;
    }
  }
  WaylandSession(const WaylandSession&) = delete;
  WaylandSession& operator=(const WaylandSession&) = delete;
  ~WaylandSession() {
    std::system((shell_quote(KORVANE_DESKTOP_TEST_SCRIPTS "/wayland-session") + " stop " +
                 shell_quote(runtime_.string()))
                    .c_str());
  }

  [[nodiscard]] bool running() const { return !socket_.empty(); }
  [[nodiscard]] const std::string& failure() const { return failure_; }
  [[nodiscard]] const std::string& socket() const { return socket_; }
  [[nodiscard]] std::string runtime() const { return runtime_.string(); }

 private:
  TempDirectory directory_;
  std::filesystem::path runtime_;
  std::string socket_;
  std::string failure_;
};

class ClipboardWayland : public testing::Test {
 protected:
  static void SetUpTestSuite() { session_ = new WaylandSession("sway"); }
  static void TearDownTestSuite() {
    delete session_;
    session_ = nullptr;
  }

  void SetUp() override {
    if (kWlPastePath.empty()) {
      KORVANE_MISSING("wl-paste", "scripts/install-deps installs wl-clipboard");
    }
    if (!session_->running()) {
      KORVANE_MISSING("a headless sway",
                      "the Wayland clipboard is not tested: " + session_->failure());
    }
    runtime_.emplace("XDG_RUNTIME_DIR", session_->runtime());
    wayland_.emplace("WAYLAND_DISPLAY", session_->socket());
  }
  void TearDown() override {
    wayland_.reset();
    runtime_.reset();
  }

  // Offers `bytes` as `type` (wl-copy serves them in the background) and waits until the
  // clipboard hands them back; with no type, clears the clipboard.
  static void offer(const char* type, std::string_view bytes) {
    const TempFile data("wayland", bytes);
    const std::string copy = type != nullptr ? kWlCopy + " --type " + shell_quote(type) + " <" +
                                                   shell_quote(data.path()) + " >/dev/null 2>&1"
                                             : kWlCopy + " --clear >/dev/null 2>&1";
    ASSERT_EQ(std::system(copy.c_str()), 0) << copy;
    const std::string check =
        type != nullptr ? kWlPaste + " --no-newline --type " + shell_quote(type) + " 2>/dev/null"
                        : kWlPaste + " --list-types 2>&1";
    const std::string expected = type != nullptr ? std::string(bytes) : "No selection\n";
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (bytes_of(check) == expected) {
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << "the Wayland clipboard does not offer the test's content";
  }

  static WaylandSession* session_;
  std::optional<ScopedEnvironment> runtime_;
  std::optional<ScopedEnvironment> wayland_;
};

WaylandSession* ClipboardWayland::session_ = nullptr;

TEST_F(ClipboardWayland, TextIsAppended) {
  const ScopedEnvironment no_x("DISPLAY", std::nullopt);
  const struct {
    const char* clipboard;
    const char* before;
    const char* after;
  } cases[] = {
      {"abc", "x", "xabc"},
      {"two\nlines\n", "", "two\nlines\n"},
      {"caf\xC3\xA9", "1:", "1:caf\xC3\xA9"},
  };
  for (const auto& c : cases) {
    offer("text/plain;charset=utf-8", c.clipboard);
    const Outcome outcome = call("Get_ClipBoard_Text", nullptr, 0.0, c.before);
    EXPECT_EQ(outcome.result, 1.0f) << c.clipboard;
    EXPECT_EQ(outcome.buffer, c.after) << c.clipboard;
  }
}

TEST_F(ClipboardWayland, FilesComeFromTheUriList) {
  const ScopedEnvironment no_x("DISPLAY", std::nullopt);
  offer("text/uri-list", "file:///tmp/two%20words.txt\r\nhttps://example.com/\r\nfile:///b\r\n");
  const Outcome outcome = call("Get_ClipBoard_Files", nullptr, 0.0, "files:\n");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "files:\n/tmp/two words.txt\n/b\n");
  // Text alone is no file list.
  offer("text/plain", "just text");
  const Outcome text_only = call("Get_ClipBoard_Files", nullptr, 0.0, "kept");
  EXPECT_EQ(text_only.result, 1.0f);
  EXPECT_EQ(text_only.buffer, "kept");
}

// An empty Wayland clipboard is the answer, even when X holds text: Wayland was reached.
TEST_F(ClipboardWayland, AnEmptyClipboardGivesOneAndNothing) {
  if (has_display()) {
    set_clipboard_text("X text, not to be read");
  }
  offer(nullptr, "");
  for (const char* name : {"Get_ClipBoard_Text", "Get_ClipBoard_Files"}) {
    const Outcome outcome = call(name, nullptr, 0.0, "kept");
    EXPECT_EQ(outcome.result, 1.0f) << name;
    EXPECT_EQ(outcome.buffer, "kept") << name;
  }
}

// weston headless has no seat, so no clipboard: unreachable, and X answers when it can.
TEST(ClipboardWaylandNoSeat, GivesZeroOrFallsBackToX) {
  if (kWlPastePath.empty()) {
    KORVANE_MISSING("wl-paste", "scripts/install-deps installs wl-clipboard");
  }
  const WaylandSession weston("weston");
  if (!weston.running()) {
    KORVANE_MISSING("a headless weston", "it did not start: " + weston.failure());
  }
  const ScopedEnvironment runtime("XDG_RUNTIME_DIR", weston.runtime());
  const ScopedEnvironment wayland("WAYLAND_DISPLAY", weston.socket());
  {
    const ScopedEnvironment no_x("DISPLAY", std::nullopt);
    expect_unreachable("a compositor without a seat");
  }
  if (has_display()) {
    set_clipboard_text("from X");
    EXPECT_EQ(call("Get_ClipBoard_Text", nullptr, 0.0, "").buffer, "from X");
  }
}

// ---------------------------------------------------------------------------------------------
// A host whose signal handlers do not restart interrupted calls (every Python host): a 5 ms
// timer interrupts the library's reads over and over.

std::atomic<int> alarms{0};
extern "C" void count_alarm(int) { alarms.fetch_add(1, std::memory_order_relaxed); }

class SignalTimer {
 public:
  SignalTimer() {
    struct sigaction action {};
    action.sa_handler = count_alarm;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART
    sigaction(SIGALRM, &action, &old_action_);
    const itimerval every_5ms{{0, 5000}, {0, 5000}};
    setitimer(ITIMER_REAL, &every_5ms, &old_timer_);
  }
  SignalTimer(const SignalTimer&) = delete;
  SignalTimer& operator=(const SignalTimer&) = delete;
  ~SignalTimer() {
    setitimer(ITIMER_REAL, &old_timer_, nullptr);
    sigaction(SIGALRM, &old_action_, nullptr);
  }

 private:
  struct sigaction old_action_ {};
  itimerval old_timer_{};
};

TEST(InterruptingHost, NothingIsLost) {
  // The clipboard is filled first: the test's own tools do not expect the timer.
  if (has_display()) {
    set_clipboard_text("read while interrupted");
  }
  alarms = 0;
  {
    const SignalTimer timer;
    const Outcome outcome =
        call("_ShellExecute", nullptr, 0.0,
             "printf abc; sleep 0.3; printf \"def\\n\"; printf ghi; sleep 0.2; echo jkl");
    EXPECT_EQ(outcome.result, 1.0f);
    EXPECT_EQ(outcome.buffer, "abcdef\nghijkl\n");
    EXPECT_GT(alarms.load(), 10) << "the timer did not interrupt the call";
    if (has_display()) {
      const Outcome text = call("Get_ClipBoard_Text", nullptr, 0.0, "");
      EXPECT_EQ(text.result, 1.0f);
      EXPECT_EQ(text.buffer, "read while interrupted");
    }
  }
  EXPECT_TRUE(has_no_children());
}

// ---------------------------------------------------------------------------------------------
// OpenURL through the real xdg-open, with a handler registered in a private home.

// Changes the working directory for the length of a scope.
class ScopedDirectory {
 public:
  explicit ScopedDirectory(const std::filesystem::path& path)
      : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ScopedDirectory(const ScopedDirectory&) = delete;
  ScopedDirectory& operator=(const ScopedDirectory&) = delete;
  ~ScopedDirectory() { std::filesystem::current_path(old_); }

 private:
  std::filesystem::path old_;
};

bool wait_for_file(const std::filesystem::path& path) {
  for (int i = 0; i < 400 && !std::filesystem::exists(path); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  return std::filesystem::exists(path);
}

TEST(OpenURL, ThroughXdgOpenAndARegisteredHandler) {
  SKIP_WITHOUT_DISPLAY();  // without a display xdg-open uses no .desktop handler
  if (kXdgOpenPath.empty()) {
    KORVANE_MISSING("xdg-open", "scripts/install-deps installs xdg-utils");
  }
  const TempDirectory home;
  const auto& root = home.path();
  std::filesystem::create_directories(root / "config");
  std::filesystem::create_directories(root / "data/applications");
  const auto record = root / "opened";
  const auto release = root / "release";
  const auto done = root / "done";
  const auto handler = root / "handler";
  {
    // Records its argument, then stays until the test releases it (15 s at most).
    std::ofstream script(handler);
    script << "#!/bin/sh\nprintf '%s' \"$1\" > " << shell_quote(record.string() + ".tmp") << "\nmv "
           << shell_quote(record.string() + ".tmp") << ' ' << shell_quote(record.string())
           << "\ni=0\nwhile [ ! -e " << shell_quote(release.string())
           << " ] && [ $i -lt 300 ]; do sleep 0.05; i=$((i+1)); done\n: > "
           << shell_quote(done.string()) << "\n";
  }
  std::filesystem::permissions(handler, std::filesystem::perms::owner_all);
  {
    std::ofstream desktop(root / "data/applications/korvane-test.desktop");
    desktop << "[Desktop Entry]\nType=Application\nName=korvane test\nExec=" << handler.string()
            << " %u\nMimeType=x-scheme-handler/https;text/plain;\n";
  }
  const ScopedEnvironment home_variable("HOME", root.string());
  const ScopedEnvironment config("XDG_CONFIG_HOME", (root / "config").string());
  const ScopedEnvironment data("XDG_DATA_HOME", (root / "data").string());
  const ScopedEnvironment desktop("XDG_CURRENT_DESKTOP", std::nullopt);
  const ScopedEnvironment session("DESKTOP_SESSION", std::nullopt);
  ASSERT_EQ(std::system((kXdgMime + " default korvane-test.desktop x-scheme-handler/https "
                                    "text/plain")
                            .c_str()),
            0);
  const TempDirectory files;
  std::ofstream(files.path() / "-notes.txt") << "notes\n";
  std::ofstream(files.path() / "plain.txt") << "plain\n";
  const ScopedDirectory in_files(files.path());

  const struct {
    std::string text;
    std::filesystem::path opened;  // the file the handler must get; empty: the text itself
  } opened_cases[] = {
      {"https://example.invalid/a b?x=1&y=2", {}},
      {(files.path() / "plain.txt").string(), {}},
      {"-notes.txt", files.path() / "-notes.txt"},
      {(files.path() / "-notes.txt").string(), {}},
  };
  for (const auto& c : opened_cases) {
    const Outcome outcome = call("OpenURL", c.text.c_str(), 0.0, "kept");
    // The handler waits for the release: had the call waited for it, it would be done by now.
    EXPECT_FALSE(std::filesystem::exists(done)) << c.text << ": the call waited for the handler";
    EXPECT_EQ(outcome.result, 1.0f) << c.text;
    EXPECT_EQ(outcome.buffer, "kept");
    ASSERT_TRUE(wait_for_file(record)) << c.text << ": the handler was not started";
    const std::string got = read_file(record);
    if (c.opened.empty()) {
      EXPECT_EQ(got, c.text);
    } else {
      EXPECT_TRUE(std::filesystem::equivalent(got, c.opened)) << got;
      EXPECT_NE(got.front(), '-') << "the path reached xdg-open as an option";
    }
    std::ofstream{release};
    EXPECT_TRUE(wait_for_file(done)) << c.text;
    for (const auto& file : {record, release, done}) {
      std::filesystem::remove(file);
    }
  }
  EXPECT_TRUE(has_no_children());

  // Nothing to open: 0, and nothing started.
  for (const char* text : {"missing.txt", "-missing.txt", "/no/such/folder/file.txt",
                           "file:///no/such/folder/file.txt", "example.invalid/page"}) {
    const Outcome outcome = call("OpenURL", text, 0.0, "kept");
    EXPECT_EQ(outcome.result, 0.0f) << text;
    EXPECT_EQ(outcome.buffer, "kept") << text;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(std::filesystem::exists(record)) << "a handler was started for nothing";
}

}  // namespace
}  // namespace korvane::test
