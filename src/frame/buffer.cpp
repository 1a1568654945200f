#include "frame/buffer.hpp"

#include <cstring>

namespace korvane {

std::optional<std::string_view> buffer_text(const char* buffer) noexcept {
  if (buffer == nullptr) {
    return std::nullopt;
  }
  const void* nul = std::memchr(buffer, '\0', kBufferCapacity);
  if (nul == nullptr) {
    return std::nullopt;
  }
  return std::string_view(buffer, static_cast<std::size_t>(static_cast<const char*>(nul) - buffer));
}

BufferWriter BufferWriter::overwrite(char* buffer) noexcept {
  buffer[0] = '\0';
  return BufferWriter(buffer, 0);
}

std::optional<BufferWriter> BufferWriter::append(char* buffer) noexcept {
  const auto text = buffer_text(buffer);
  if (!text) {
    return std::nullopt;
  }
  return BufferWriter(buffer, text->size());
}

bool BufferWriter::write(std::string_view piece) noexcept {
  const std::size_t room = kBufferCapacity - 1 - end_;
  const std::size_t count = piece.size() < room ? piece.size() : room;
  if (count != 0) {
    // memmove: the piece may come from the buffer itself.
    std::memmove(buffer_ + end_, piece.data(), count);
    end_ += count;
  }
  buffer_[end_] = '\0';
  return count == piece.size();
}

bool overwrite_buffer(char* buffer, std::string_view text) noexcept {
  if (buffer == nullptr) {
    return false;
  }
  // Not overwrite(): emptying the buffer first would lose a text that lies inside it.
  BufferWriter(buffer, 0).write(text);
  return true;
}

}  // namespace korvane
