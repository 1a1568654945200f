#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <string>
#include <string_view>

#include "desktop/clipboard.hpp"

namespace korvane {
namespace {

// A program that offers its data by delayed rendering renders them when they are asked for; one
// that has stopped answering holds GetClipboardData (and, under Wine, every clipboard call) for
// as long as it likes. So a read asks the clipboard's owner first and gives up when it has not
// answered within this bound, counted from the start of the call.
constexpr ULONGLONG kBoundMs = 2000;

// Other programs hold the clipboard for moments at a time: try for about a tenth of a second.
constexpr int kOpenAttempts = 11;
constexpr DWORD kOpenPause = 10;  // milliseconds between attempts

class Deadline {
 public:
  Deadline() noexcept : end_(GetTickCount64() + kBoundMs) {}
  // Milliseconds left; 0 once the deadline has passed.
  [[nodiscard]] DWORD left() const noexcept {
    const ULONGLONG now = GetTickCount64();
    return now < end_ ? static_cast<DWORD>(end_ - now) : 0;
  }

 private:
  ULONGLONG end_;
};

// Whether the clipboard's owner window `owner` answers a harmless message before the deadline
// (a window of the calling thread answers at once). No owner, or one that no longer exists,
// has nothing to render and counts as answering. The message is not delivered to a window that
// the system already takes for hung, and the calling thread handles no message meanwhile.
bool owner_answers(HWND owner, const Deadline& deadline) noexcept {
  if (owner == nullptr) {
    return true;
  }
  const DWORD left = deadline.left();
  DWORD_PTR ignored = 0;
  return (left != 0 && SendMessageTimeoutA(owner, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                           left, &ignored) != 0) ||
         !IsWindow(owner);
}

// The clipboard, open for this thread while the object lives (when opened() says so).
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(const Deadline& deadline) noexcept {
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
      if (attempt != 0) {
        if (deadline.left() <= kOpenPause) {
          return;
        }
        Sleep(kOpenPause);
      }
      if (OpenClipboard(nullptr)) {
        opened_ = true;
        return;
      }
    }
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  ~OpenClipboardScope() {
    if (opened_) {
      CloseClipboard();
    }
  }

  [[nodiscard]] bool opened() const noexcept { return opened_; }

 private:
  bool opened_ = false;
};

// Clipboard data locked for reading while the object lives. The data stay the clipboard's.
class LockedData {
 public:
  explicit LockedData(HANDLE handle) noexcept
      : handle_(handle), address_(handle != nullptr ? GlobalLock(handle) : nullptr) {}
  LockedData(const LockedData&) = delete;
  LockedData& operator=(const LockedData&) = delete;
  ~LockedData() {
    if (address_ != nullptr) {
      GlobalUnlock(handle_);
    }
  }

  [[nodiscard]] void* address() const noexcept { return address_; }
  [[nodiscard]] std::size_t size() const noexcept { return GlobalSize(handle_); }

 private:
  HANDLE handle_;
  void* address_;
};

// Opens the clipboard and hands its data of `format`, locked, to `use` (address and size of the
// memory block); `use` is not called when the clipboard holds none or they cannot be locked.
// False when the clipboard could not be opened, or its owner did not answer within the bound.
template <typename Use>
bool read_clipboard(UINT format, Use&& use) {
  const Deadline deadline;
  // The owner is asked before anything else: under Wine even opening the clipboard waits for an
  // owner that does not answer.
  const HWND owner = GetClipboardOwner();
  if (!owner_answers(owner, deadline)) {
    return false;
  }
  const OpenClipboardScope clipboard(deadline);
  if (!clipboard.opened()) {
    return false;
  }
  // The clipboard may have changed hands before it was opened; while it is open, it cannot.
  if (const HWND now = GetClipboardOwner(); now != owner && !owner_answers(now, deadline)) {
    return false;
  }
  const LockedData data(GetClipboardData(format));
  if (data.address() != nullptr) {
    use(data.address(), data.size());
  }
  return true;
}

}  // namespace

bool append_clipboard_text(BufferWriter& out) {
  return read_clipboard(CF_TEXT, [&](const void* address, std::size_t size) {
    // The text ends at its NUL, and never past the end of its memory block.
    const auto* text = static_cast<const char*>(address);
    const void* nul = std::memchr(text, '\0', size);
    out.write(std::string_view(
        text,
        nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : size));
  });
}

bool append_clipboard_files(BufferWriter& out) {
  return read_clipboard(CF_HDROP, [&](void* address, std::size_t) {
    const auto drop = static_cast<HDROP>(address);
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    std::string path;
    for (UINT index = 0; index < count && !out.full(); ++index) {
      // Each path at its full length: ask for the length first.
      const UINT length = DragQueryFileA(drop, index, nullptr, 0);
      path.assign(std::size_t{length} + 1, '\0');
      const UINT copied = DragQueryFileA(drop, index, path.data(), length + 1);
      if (copied == 0) {
        continue;  // a path that cannot be fetched is left out
      }
      out.write(std::string_view(path.data(), copied <= length ? copied : length));
      out.write("\n");
    }
  });
}

}  // namespace korvane
