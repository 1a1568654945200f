// Reads a fuzzer's input as a stream of bytes; past its end every byte reads as 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvane::fuzz {

struct FuzzInput {
  const std::uint8_t* data;
  std::size_t size;

  std::uint8_t byte() {
    if (size == 0) {
      return 0;
    }
    --size;
    return *data++;
  }

  // The next `count` bytes (at most 8) read as a big-endian number.
  std::uint64_t big_endian(int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
      value = value << 8U | byte();
    }
    return value;
  }

  // Any int, from the next four bytes.
  int any_int() { return static_cast<int>(static_cast<std::uint32_t>(big_endian(4))); }

  // A value in [low, high].
  int in_range(int low, int high) {
    return low + static_cast<int>(big_endian(4) % static_cast<std::uint64_t>(high - low + 1));
  }
};

}  // namespace korvane::fuzz
