// The desktop tests' platform side on Windows: the clipboard filled with SetClipboardData, and
// message boxes found by caption and answered with BM_CLICK.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "desktop/desktop_support.hpp"
#include "desktop/desktop_support_win.hpp"

namespace korvane::test {
namespace {

// Replaces the clipboard's content with `size` bytes of `format`.
void put_on_clipboard(UINT format, const void* data, std::size_t size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  ASSERT_NE(block, nullptr);
  std::memcpy(GlobalLock(block), data, size);
  GlobalUnlock(block);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const bool placed = SetClipboardData(format, block) != nullptr;
  CloseClipboard();
  if (!placed) {
    GlobalFree(block);
  }
  ASSERT_TRUE(placed);
}

std::string window_text(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct IconSearch {
  HICON expected;
  bool found;
};

BOOL CALLBACK find_icon(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<IconSearch*>(context);
  char class_name[32] = "";
  GetClassNameA(child, class_name, sizeof class_name);
  const auto style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
  if (lstrcmpiA(class_name, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
    const auto icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
    search->found = search->found || icon == search->expected;
  }
  return TRUE;
}

}  // namespace

bool clipboard_available() { return true; }

void set_clipboard_text(std::string_view bytes) {
  std::string text(bytes);
  put_on_clipboard(CF_TEXT, text.c_str(), text.size() + 1);
}

void set_clipboard_files(const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& path : paths) {
    list += path;
    list += '\0';
  }
  list += '\0';
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = FALSE;
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  block += list;
  put_on_clipboard(CF_HDROP, block.data(), block.size());
}

void set_clipboard_wide_files(const std::vector<std::wstring>& paths) {
  std::wstring list;
  for (const std::wstring& path : paths) {
    list += path;
    list += L'\0';
  }
  list += L'\0';
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  std::string block(reinterpret_cast<const char*>(&header), sizeof header);
  block.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t));
  put_on_clipboard(CF_HDROP, block.data(), block.size());
}

std::vector<std::string> example_paths() {
  return {"C:\\users\\report.txt", "C:\\two words\\50% off [final].pdf"};
}

std::future<BoxSeen> answer_box(const char* caption, Press press) {
  const std::string title = caption;
  return std::async(std::launch::async, [title, press] {
    BoxSeen seen;
    HWND box = nullptr;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (box == nullptr && std::chrono::steady_clock::now() < give_up) {
      // A box becomes visible once its buttons, text and icon are in place.
      box = FindWindowA(nullptr, title.c_str());
      if (box != nullptr && !IsWindowVisible(box)) {
        box = nullptr;
      }
      if (box == nullptr) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    if (box == nullptr) {
      return seen;
    }
    seen.found = true;
    seen.message = window_text(GetDlgItem(box, 0xFFFF));
    for (const int id : {IDOK, IDYES, IDNO}) {
      if (HWND button = GetDlgItem(box, id)) {
        seen.buttons += (seen.buttons.empty() ? "" : "|") + window_text(button);
      }
    }
    const bool warning = title == kWarningCaption;
    IconSearch search{LoadIconA(nullptr, warning ? IDI_WARNING : IDI_INFORMATION), false};
    EnumChildWindows(box, find_icon, reinterpret_cast<LPARAM>(&search));
    seen.expected_icon = search.found;
    const int id = press == Press::kYes ? IDYES : press == Press::kNo ? IDNO : IDOK;
    if (HWND button = GetDlgItem(box, id)) {
      SendMessageA(button, BM_CLICK, 0, 0);
    } else {
      ADD_FAILURE() << "the box has no button " << id;
      // Do not leave the call waiting.
      PostMessageA(box, WM_CLOSE, 0, 0);
    }
    return seen;
  });
}

const char* const kTwoLinesCommand = "echo one&& echo two";
const char* const kSilentCommand = "rem";
const char* const kMissingCommand = "korvane_no_such_program --now";

std::string print_file_command(const std::string& path) { return "type \"" + path + "\""; }

// The helper's path has no spaces in the build tree; unquoted, cmd /c takes it as it is.
std::string print_bytes_command(const std::string& escaped) {
  return helper_program("print_bytes.exe") + " " + escaped;
}

}  // namespace korvane::test
