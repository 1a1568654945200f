#include <windows.h>

#include <shellapi.h>

#include <cstring>
#include <optional>
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

// `text` in the ANSI code page, when the code page holds every character of it exactly: no
// best-fit substitute (an e for the e-acute that code page 932 lacks, an L for the L-stroke
// that 1252 lacks) and no default character.
std::optional<std::string> exact_ansi(std::wstring_view text) {
  if (text.empty()) {
    return std::string();
  }
  // UTF-8 (a program that asks for it as its ANSI code page) holds every character, and takes
  // neither flag nor default character: only an unpaired surrogate fails it.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* const check = utf8 ? nullptr : &used_default;
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, check);
  if (size <= 0 || used_default) {
    return std::nullopt;
  }
  std::string converted(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, text.data(), length, converted.data(), size, nullptr,
                          check) != size ||
      used_default) {
    return std::nullopt;
  }
  return converted;
}

// How a host that speaks the ANSI code page names the file at `path`: the path itself when the
// code page holds it, else its short (8.3) form when the file has one that the code page holds.
// Nothing otherwise: a substituted name would name no file, or another one.
std::optional<std::string> ansi_path(const std::wstring& path) {
  if (std::optional<std::string> exact = exact_ansi(path)) {
    return exact;
  }
  const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (size == 0) {
    return std::nullopt;
  }
  std::wstring short_path(size, L'\0');
  const DWORD length = GetShortPathNameW(path.c_str(), short_path.data(), size);
  if (length == 0 || length >= size) {
    return std::nullopt;
  }
  short_path.resize(length);
  return exact_ansi(short_path);
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
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::wstring path;
    for (UINT index = 0; index < count && !out.full(); ++index) {
      // Each path at its full length: ask for the length first.
      const UINT length = DragQueryFileW(drop, index, nullptr, 0);
      path.assign(std::size_t{length} + 1, L'\0');
      const UINT copied = DragQueryFileW(drop, index, path.data(), length + 1);
      if (copied == 0) {
        continue;  // a path that cannot be fetched is left out
      }
      path.resize(copied <= length ? copied : length);
      if (const std::optional<std::string> name = ansi_path(path)) {
        out.write(*name);
        out.write("\n");
      }
    }
  });
}

}  // namespace korvane
