// The desktop exports on every platform: message boxes answered by the test, the clipboard
// filled by the test, command capture and shell launch.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "desktop/desktop_support.hpp"
#include "support/calls.hpp"

namespace korvane::test {
namespace {

#define SKIP_WITHOUT_CLIPBOARD()                                            \
  if (!clipboard_available()) {                                             \
    KORVANE_MISSING("a display",                                            \
                    "DISPLAY is not set: the clipboard needs one; run the " \
                    "tests through scripts/with-xvfb");                     \
  }

// Every desktop export that writes the buffer does nothing with a null buffer and answers 0:
// no box appears, the clipboard and the command processor are not reached.
TEST(DesktopNullPointers, ANullBufferGivesZero) {
  for (const char* name : {"MsgBoxInfo", "MsgBoxWarning", "Get_ClipBoard_Text",
                           "Get_ClipBoard_Files", "_ShellExecute"}) {
    const korvane_script_function function = find_export(name);
    ASSERT_NE(function, nullptr);
    EXPECT_EQ(function("text", 0.0, nullptr, 0), 0.0f) << name;
  }
}

TEST(DesktopNullPointers, ABufferWithoutTextWithinTheCapacityIsLeftAlone) {
  for (const char* name : {"Get_ClipBoard_Text", "Get_ClipBoard_Files", "_ShellExecute"}) {
    std::string block(KORVANE_BUFFER_CAPACITY, 'e');
    block += '\0';  // the NUL lies past the capacity
    EXPECT_EQ(find_export(name)(nullptr, 0.0, block.data(), 0), 0.0f) << name;
    EXPECT_EQ(block, std::string(KORVANE_BUFFER_CAPACITY, 'e') + '\0') << name;
  }
}

TEST(MsgBoxInfo, ShowsTheMessageAndCopiesIt) {
  SKIP_WITHOUT_DISPLAY();
  for (const std::string message : {"Saved <b>3</b> files & 2 folders.", ""}) {
    auto answer = answer_box(kInfoCaption, Press::kOk);
    const Outcome outcome = call("MsgBoxInfo", message.c_str(), 0.0, "a longer earlier text");
    const BoxSeen seen = answer.get();
    EXPECT_TRUE(seen.found) << "no box titled '" << kInfoCaption << "'";
    EXPECT_EQ(outcome.result, 1.0f);
    EXPECT_EQ(outcome.buffer, message);
  }
}

TEST(MsgBoxInfo, AMessagePastTheCapacityIsShownAndCopiedUpToIt) {
  SKIP_WITHOUT_DISPLAY();
  std::string message;
  while (message.size() < 3 * KORVANE_BUFFER_CAPACITY) {
    message += "A long message. ";
  }
  auto answer = answer_box(kInfoCaption, Press::kOk);
  const Outcome outcome = call("MsgBoxInfo", message.c_str(), 0.0, "");
  EXPECT_TRUE(answer.get().found);
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, message.substr(0, KORVANE_BUFFER_CAPACITY - 1));
}

TEST(MsgBoxInfo, TextAndBufferMayBeTheSameBlock) {
  SKIP_WITHOUT_DISPLAY();
  std::string block(KORVANE_BUFFER_CAPACITY, '\0');
  const std::string message = "one block for both";
  block.replace(0, message.size(), message);
  auto answer = answer_box(kInfoCaption, Press::kOk);
  const float result = find_export("MsgBoxInfo")(block.data(), 0.0, block.data(), 0);
  EXPECT_TRUE(answer.get().found);
  EXPECT_EQ(result, 1.0f);
  EXPECT_STREQ(block.c_str(), message.c_str());
}

TEST(MsgBoxWarning, WritesTheAnswer) {
  SKIP_WITHOUT_DISPLAY();
  const struct {
    Press press;
    const char* answer;
  } cases[] = {{Press::kYes, "Yes"}, {Press::kNo, "No"}, {Press::kYes, "Yes"}};
  for (const auto& c : cases) {
    auto answer = answer_box(kWarningCaption, c.press);
    const Outcome outcome = call("MsgBoxWarning", "Delete the <i>old</i> copies?", 0.0,
                                 "an earlier text, longer than the answer");
    EXPECT_TRUE(answer.get().found) << "no box titled '" << kWarningCaption << "'";
    EXPECT_EQ(outcome.result, 1.0f);
    EXPECT_EQ(outcome.buffer, c.answer);
  }
}

TEST(ClipboardText, IsAppendedToTheBuffer) {
  SKIP_WITHOUT_CLIPBOARD();
  const struct {
    const char* clipboard;
    const char* before;
    const char* after;
  } cases[] = {
      {"abc", "x", "xabc"},
      {"abc", "", "abc"},
      {"two\nlines", "1:", "1:two\nlines"},
      {"", "kept", "kept"},
  };
  for (const auto& c : cases) {
    set_clipboard_text(c.clipboard);
    const Outcome outcome = call("Get_ClipBoard_Text", nullptr, 0.0, c.before);
    EXPECT_EQ(outcome.result, 1.0f) << c.clipboard;
    EXPECT_EQ(outcome.buffer, c.after) << c.clipboard;
  }
}

TEST(ClipboardText, IsCutAtTheCapacity) {
  SKIP_WITHOUT_CLIPBOARD();
  const std::string big(KORVANE_BUFFER_CAPACITY + 100, 'c');
  set_clipboard_text(big);
  const Outcome outcome = call("Get_ClipBoard_Text", nullptr, 0.0, "start");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "start" + std::string(KORVANE_BUFFER_CAPACITY - 6, 'c'));
}

TEST(ClipboardFiles, EachPathIsAppendedOnItsOwnLine) {
  SKIP_WITHOUT_CLIPBOARD();
  const std::vector<std::string> paths = example_paths();
  set_clipboard_files(paths);
  const Outcome outcome = call("Get_ClipBoard_Files", nullptr, 0.0, "files:\n");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "files:\n" + paths[0] + "\n" + paths[1] + "\n");
}

TEST(ClipboardFiles, TextAloneGivesNoFilesAndFilesAloneNoText) {
  SKIP_WITHOUT_CLIPBOARD();
  set_clipboard_text("just text");
  Outcome outcome = call("Get_ClipBoard_Files", nullptr, 0.0, "before");
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, "before");

  set_clipboard_files({example_paths()[0]});
  outcome = call("Get_ClipBoard_Files", nullptr, 0.0, "");
  EXPECT_EQ(outcome.buffer, example_paths()[0] + "\n");
}

TEST(ShellExecute, TheOutputReplacesTheCommand) {
  const TempFile long_line("long-line", std::string(10000, 'L') + "\nafter\n");
  const struct {
    std::string command;
    std::string output;
  } cases[] = {
      {kTwoLinesCommand, "one\ntwo\n"},
      {kSilentCommand, ""},
      // The processor starts and reports the missing program on its standard error.
      {kMissingCommand, ""},
      // A line longer than one piece arrives in several and is joined without loss.
      {print_file_command(long_line.path()), std::string(10000, 'L') + "\nafter\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = call("_ShellExecute", "ignored", 0.0, c.command);
    EXPECT_EQ(outcome.result, 1.0f) << c.command;
    EXPECT_EQ(outcome.buffer, c.output) << c.command;
  }
}

TEST(ShellExecute, ANulDropsTheRestOfItsPiece) {
  const struct {
    const char* escaped;
    std::string output;
  } cases[] = {
      // "cd" and its line end go with the first piece, "gh" and its line end with the second.
      {"ab\\0cd\\nef\\0gh\\nij\\n", "abefij\n"},
      // A piece that arrives in two reads: the NUL still drops the rest of it, and no more.
      {"ab\\0c --pause 200 d\\nef\\n", "abef\n"},
      {"ab --pause 200 c\\0d\\nef\\n", "abcef\n"},
      // A longer line comes in pieces of 4095 bytes: the NUL in the second piece drops the rest
      // of that piece (its line end included), not the next line.
      {"--repeat 5000 x \\0tail\\nnext\\n", std::string(5000, 'x') + "next\n"},
      {"--repeat 4095 x \\0tail\\nnext\\n", std::string(4095, 'x') + "next\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = call("_ShellExecute", nullptr, 0.0, print_bytes_command(c.escaped));
    EXPECT_EQ(outcome.result, 1.0f) << c.escaped;
    EXPECT_EQ(outcome.buffer, c.output) << c.escaped;
  }
}

// Output that arrives in several reads (the command pauses) is joined without loss, and a 0x1A
// byte, the end-of-file mark of a text-mode stream, is a byte like any other.
TEST(ShellExecute, OutputArrivesWhole) {
  const struct {
    const char* escaped;
    std::string output;
  } cases[] = {
      {"abc --pause 300 def\\n --pause 100 ghi --pause 200 jkl\\n", "abcdef\nghijkl\n"},
      {"ab\\n\\x1A --numbered 3 \\n",
       "ab\n\x1A"
       "1\n2\n3\n"},
      {"\\x1A\\x1A\\n\\xFF\\x01", "\x1A\x1A\n\xFF\x01"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = call("_ShellExecute", nullptr, 0.0, print_bytes_command(c.escaped));
    EXPECT_EQ(outcome.result, 1.0f) << c.escaped;
    EXPECT_EQ(outcome.buffer, c.output) << c.escaped;
  }
}

// Output far past the capacity fills the buffer (never beyond: call() checks the guard bytes)
// and is read to its end, so the command finishes and the call returns.
TEST(ShellExecute, OutputPastTheCapacityFillsTheBufferAndIsDrained) {
  std::string content;
  for (int line = 0; content.size() < 4 * KORVANE_BUFFER_CAPACITY; ++line) {
    content += "line " + std::to_string(line) + " of a long output\n";
  }
  const TempFile file("big", content);
  const auto start = std::chrono::steady_clock::now();
  const Outcome outcome = call("_ShellExecute", nullptr, 0.0, print_file_command(file.path()));
  EXPECT_EQ(outcome.result, 1.0f);
  EXPECT_EQ(outcome.buffer, content.substr(0, KORVANE_BUFFER_CAPACITY - 1));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

// Calls on several threads at once never wait for each other's commands: each short command's
// call returns while the long commands started beside it are all still running. (A pipe end
// that one call's command inherited from another would hold that call until the command ends.)
TEST(ShellExecute, ConcurrentCallsDoNotWaitForEachOther) {
  const std::string long_command = print_bytes_command("long\\n --pause 3000 done\\n");
  constexpr std::size_t kEach = 3;  // short calls, and as many long ones
  std::atomic<bool> go{false};
  std::atomic<int> long_calls_ended{0};
  std::vector<Outcome> short_outcomes(kEach);
  std::vector<int> ended_before_short(kEach, -1);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < 2 * kEach; ++i) {
    threads.emplace_back([&, i] {
      while (!go.load()) {
        std::this_thread::yield();
      }
      if (i % 2 == 0) {
        const Outcome outcome = call("_ShellExecute", nullptr, 0.0, long_command);
        EXPECT_EQ(outcome.buffer, "long\ndone\n");
        ++long_calls_ended;
      } else {
        short_outcomes[i / 2] = call("_ShellExecute", nullptr, 0.0, kTwoLinesCommand);
        ended_before_short[i / 2] = long_calls_ended.load();
      }
    });
  }
  go = true;
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (std::size_t i = 0; i < kEach; ++i) {
    EXPECT_EQ(short_outcomes[i].buffer, "one\ntwo\n");
    EXPECT_EQ(ended_before_short[i], 0) << "short call " << i << " waited for a long command";
  }
}

TEST(OpenURL, NothingToOpenGivesZero) {
  EXPECT_EQ(call("OpenURL", nullptr, 0.0, "kept").result, 0.0f);
  const Outcome empty = call("OpenURL", "", 0.0, "kept");
  EXPECT_EQ(empty.result, 0.0f);
  EXPECT_EQ(empty.buffer, "kept");
}

}  // namespace
}  // namespace korvane::test
