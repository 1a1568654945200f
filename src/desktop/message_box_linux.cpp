// Message boxes on the Linux desktop: zenity, else kdialog, started without a shell. The message
// is always shown as plain text.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/message_box.hpp"
#include "desktop/process_linux.hpp"

namespace korvane {
namespace {

enum class DialogKind { kZenity, kKdialog };

struct Dialog {
  DialogKind kind;
  std::string path;
};

// The dialog program to use, or nothing when there is no display or no such program.
std::optional<Dialog> find_dialog() {
  if (!process::environment_has("DISPLAY") && !process::environment_has("WAYLAND_DISPLAY")) {
    return std::nullopt;
  }
  if (auto zenity = process::find_program("zenity")) {
    return Dialog{DialogKind::kZenity, std::move(*zenity)};
  }
  if (auto kdialog = process::find_program("kdialog")) {
    return Dialog{DialogKind::kKdialog, std::move(*kdialog)};
  }
  return std::nullopt;
}

// Linux takes no single argument of more than 128 KiB. A longer message is shown cut, at a
// character boundary of UTF-8 text, so that the box still appears; 16 KiB leaves room for
// kdialog's escaped form, up to six times as long.
std::string_view shown_part(std::string_view message) {
  constexpr std::size_t kShownMax = 16384;
  if (message.size() <= kShownMax) {
    return message;
  }
  std::size_t end = kShownMax;
  // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
  while (end > 0 && (static_cast<unsigned char>(message[end]) & 0xC0) == 0x80) {
    --end;
  }
  return message.substr(0, end);
}

// kdialog takes a text that looks like markup as rich text. The message goes in as rich text
// whose every character is escaped and whose white space and line breaks are kept, so that it
// reads exactly as given.
std::string kdialog_plain_text(std::string_view message) {
  std::string out = "<qt><div style=\"white-space:pre-wrap\">";
  for (const char c : message) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  out += "</div></qt>";
  return out;
}

// Runs the dialog and waits until it is closed. Its exit status, and up to a line of what it
// printed.
struct DialogEnd {
  std::optional<int> status;
  std::string printed;
};

std::optional<DialogEnd> run_dialog(const std::string& path,
                                    const std::vector<std::string>& arguments) {
  const auto started =
      process::spawn(path, arguments, process::Output::kPipe, process::Streams::kQuiet);
  if (!started) {
    return std::nullopt;
  }
  process::RunningChild child(*started);
  DialogEnd end;
  char block[256];
  while (const std::size_t count = process::read_some(child.output(), block, sizeof block)) {
    if (end.printed.size() < sizeof block) {
      end.printed.append(block, count);
    }
  }
  end.status = child.finish();
  return end;
}

}  // namespace

void show_information(const char* message) {
  const auto dialog = find_dialog();
  if (!dialog) {
    return;
  }
  if (dialog->kind == DialogKind::kZenity) {
    run_dialog(dialog->path,
               {"zenity", "--info", "--no-markup", std::string("--title=") + kInformationCaption,
                std::string("--text=") + std::string(shown_part(message))});
  } else {
    run_dialog(dialog->path, {"kdialog", "--title", kInformationCaption, "--msgbox",
                              kdialog_plain_text(shown_part(message))});
  }
}

bool ask_yes_no(const char* message) {
  const auto dialog = find_dialog();
  if (!dialog) {
    return false;
  }
  if (dialog->kind == DialogKind::kZenity) {
    // The buttons are zenity's extra buttons, which print their label: the answer arrives on the
    // pipe and not only as the exit status, which a host that ignores SIGCHLD takes away.
    const auto end =
        run_dialog(dialog->path, {"zenity", "--question", "--no-markup", "--switch",
                                  "--icon-name=dialog-warning", "--extra-button=Yes",
                                  "--extra-button=No", std::string("--title=") + kQuestionCaption,
                                  std::string("--text=") + std::string(shown_part(message))});
    return end && (end->printed == "Yes\n" || end->printed == "Yes");
  }
  // kdialog answers through its exit status alone: 0 for Yes.
  const auto end =
      run_dialog(dialog->path, {"kdialog", "--title", kQuestionCaption, "--warningyesno",
                                kdialog_plain_text(shown_part(message))});
  return end && end->status == 0;
}

}  // namespace korvane
