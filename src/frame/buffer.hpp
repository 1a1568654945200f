// The one writer of the caller's buffer, and the one reader of text the caller left in it.
//
// The library is never told how large the caller's buffer is. It uses at most
// KORVANE_BUFFER_CAPACITY bytes of it, always leaves NUL-terminated text there, and cuts what
// does not fit. Every export reads and writes the buffer through this file alone.
#pragma once

#include <korvanelib.h>

#include <cstddef>
#include <optional>
#include <string_view>

namespace korvane {

inline constexpr std::size_t kBufferCapacity = KORVANE_BUFFER_CAPACITY;
static_assert(kBufferCapacity >= 2, "the buffer must hold at least one character and its NUL");

// The buffer's text, or nothing when the buffer is null or holds no NUL within the capacity.
std::optional<std::string_view> buffer_text(const char* buffer) noexcept;

// Writes text into the caller's buffer, never at or past the capacity, keeping it NUL-terminated.
// The end of the text is kept, so appending costs time linear in what is appended.
class BufferWriter {
 public:
  // Empties the buffer (its first byte becomes the NUL) and writes from its start.
  // The buffer must not be null.
  static BufferWriter overwrite(char* buffer) noexcept;

  // Writes after the text already in the buffer; nothing when that is not text (see buffer_text).
  static std::optional<BufferWriter> append(char* buffer) noexcept;

  // Appends as much of `piece` as fits; returns false when some of it was cut.
  bool write(std::string_view piece) noexcept;

  // No byte can be added any more.
  [[nodiscard]] bool full() const noexcept { return end_ + 1 >= kBufferCapacity; }

 private:
  friend bool overwrite_buffer(char* buffer, std::string_view text) noexcept;

  BufferWriter(char* buffer, std::size_t end) noexcept : buffer_(buffer), end_(end) {}

  char* buffer_;
  std::size_t end_;
};

// Overwrites the buffer with `text`, which may lie in the buffer itself. Returns false (and
// writes nothing) for a null buffer.
bool overwrite_buffer(char* buffer, std::string_view text) noexcept;

}  // namespace korvane
