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

  // The next `bytes` bytes as a big-endian number.
  std::uint64_t bits(int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      value = value << 8U | byte();
    }
    return value;
  }

  // A value in [low, high].
  int in_range(int low, int high) {
    return low + static_cast<int>(bits(4) % static_cast<std::uint64_t>(high - low + 1));
  }
};

}  // namespace korvane::fuzz
