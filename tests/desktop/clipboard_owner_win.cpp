// Test helper: takes the clipboard with a window of its own and offers text by delayed
// rendering (CF_TEXT with no data, rendered only when asked for), then
//   clipboard_owner answer TEXT   renders TEXT when asked, answering messages for 30 seconds;
//   clipboard_owner freeze        stops answering messages for 30 seconds, as a hung program.
// The test ends it sooner.
#include <windows.h>

#include <cstring>
#include <string>

namespace {

std::string rendered;

LRESULT CALLBACK owner_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_RENDERFORMAT && wparam == CF_TEXT) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, rendered.size() + 1);
    if (block != nullptr) {
      std::memcpy(GlobalLock(block), rendered.c_str(), rendered.size() + 1);
      GlobalUnlock(block);
      SetClipboardData(CF_TEXT, block);
    }
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
  const bool answer = argc == 3 && std::strcmp(argv[1], "answer") == 0;
  if (!answer && !(argc == 2 && std::strcmp(argv[1], "freeze") == 0)) {
    return 2;
  }
  rendered = answer ? argv[2] : "";
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = owner_procedure;
  window_class.lpszClassName = "korvane_clipboard_owner";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA(window_class.lpszClassName, "clipboard owner", 0, 0, 0, 0, 0, nullptr,
                              nullptr, nullptr, nullptr);
  if (window == nullptr || !OpenClipboard(window)) {
    return 1;
  }
  EmptyClipboard();
  SetClipboardData(CF_TEXT, nullptr);
  CloseClipboard();
  if (!answer) {
    Sleep(30000);
    return 0;
  }
  const ULONGLONG end = GetTickCount64() + 30000;
  while (GetTickCount64() < end) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
  }
  return 0;
}
