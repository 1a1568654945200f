// The desktop exports' Linux behaviour: no display, the file list's URIs, descriptors and
// children of the host, and a host that ignores SIGCHLD.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
    GTEST_SKIP() << "kdialog is not installed";
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
    GTEST_SKIP() << "DISPLAY is not set: the message box part needs a display";
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

}  // namespace
}  // namespace korvane::test
