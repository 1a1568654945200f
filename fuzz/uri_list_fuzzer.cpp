// The Linux clipboard's file list: a text/uri-list read into the buffer. Whatever the list holds,
// the buffer keeps NUL-terminated text within the capacity and nothing past it changes; every
// path appended is free of NULs and line feeds; and the paths are exactly those a small,
// independent reading of the list gives (percent-decoding included).
//
// Input: two bytes for the length of the text already in the buffer (so that the capacity is
// reached), then the list.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/uri_list.hpp"
#include "frame/buffer.hpp"

namespace {

constexpr std::size_t kCapacity = korvane::kBufferCapacity;
constexpr std::size_t kGuard = 64;
constexpr char kGuardByte = '\x5A';

[[noreturn]] void fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "%s: \"%.*s\"\n", what, static_cast<int>(detail.size()), detail.data());
  std::abort();
}

std::string lowered(std::string_view text) {
  std::string result;
  for (const char c : text) {
    result += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return result;
}

// "%XY" with two hex digits is the byte 0xXY; any other '%' is itself.
std::string reference_decode(std::string_view text) {
  std::string decoded;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '%' && i + 2 < text.size() &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      const char pair[3] = {text[i + 1], text[i + 2], '\0'};
      decoded += static_cast<char>(std::strtol(pair, nullptr, 16));
      i += 3;
    } else {
      decoded += text[i];
      i += 1;
    }
  }
  return decoded;
}

// The local path of one line of the list, read the plain way: "file:" in any case, then either
// "//" with an empty or "localhost" host and a '/', or the path straight away; the path ends at
// '?' or '#', starts with '/', and once decoded holds no NUL and no line feed.
std::optional<std::string> reference_path(std::string_view line) {
  if (lowered(line.substr(0, 5)) != "file:") {
    return std::nullopt;
  }
  std::string_view rest = line.substr(5);
  if (rest.size() >= 2 && rest[0] == '/' && rest[1] == '/') {
    rest = rest.substr(2);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos) {
      return std::nullopt;
    }
    const std::string host = lowered(rest.substr(0, slash));
    if (!host.empty() && host != "localhost") {
      return std::nullopt;
    }
    rest = rest.substr(slash);
  }
  const std::size_t end = rest.find_first_of("?#");
  if (end != std::string_view::npos) {
    rest = rest.substr(0, end);
  }
  if (rest.empty() || rest[0] != '/') {
    return std::nullopt;
  }
  std::string path = reference_decode(rest);
  if (path.find('\0') != std::string::npos || path.find('\n') != std::string::npos) {
    return std::nullopt;
  }
  return path;
}

// The lines of the list that name local files, in order.
std::vector<std::string> reference_paths(std::string_view list) {
  std::vector<std::string> paths;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find('\n', start);
    if (end == std::string_view::npos) {
      end = list.size();
    }
    std::string_view line = list.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line[line.size() - 1] == '\r') {
      line = line.substr(0, line.size() - 1);
    }
    if (line.empty() || line[0] == '#') {
      continue;
    }
    if (auto path = reference_path(line)) {
      paths.push_back(std::move(*path));
    }
  }
  return paths;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) {
    return 0;
  }
  const std::size_t prefix = (std::size_t{data[0]} << 8 | data[1]) % kCapacity;
  const std::string_view list(reinterpret_cast<const char*>(data) + 2, size - 2);

  // Each line on its own, as the clipboard code reads it.
  std::size_t start = 0;
  std::string path;
  while (start <= list.size()) {
    const std::size_t end = std::min(list.find('\n', start), list.size());
    const std::string_view line = list.substr(start, end - start);
    start = end + 1;
    const bool found = korvane::file_uri_path(line, path);
    const std::optional<std::string> expected = reference_path(line);
    if (found != expected.has_value() || (found && path != *expected)) {
      fail(found ? "file_uri_path differs from the plain reading" : "file_uri_path missed", line);
    }
  }

  std::vector<char> block(kCapacity + kGuard, kGuardByte);
  std::memset(block.data(), 'p', prefix);
  block[prefix] = '\0';
  std::optional<korvane::BufferWriter> out = korvane::BufferWriter::append(block.data());
  if (!out) {
    fail("no writer for a buffer holding text", "");
  }
  const std::size_t count = korvane::append_uri_list_paths(list, *out);

  for (std::size_t i = kCapacity; i < block.size(); ++i) {
    if (block[i] != kGuardByte) {
      fail("wrote past the capacity", list);
    }
  }
  const void* nul = std::memchr(block.data(), '\0', kCapacity);
  if (nul == nullptr) {
    fail("no NUL within the capacity", list);
  }
  const std::string text(block.data(),
                         static_cast<std::size_t>(static_cast<const char*>(nul) - block.data()));
  if (text.compare(0, prefix, std::string(prefix, 'p')) != 0 || text.size() < prefix) {
    fail("the text already in the buffer changed", list);
  }

  // What should follow the starting text: every path and a line feed, up to the capacity.
  std::string expected;
  std::size_t expected_count = 0;
  for (const std::string& p : reference_paths(list)) {
    if (prefix + expected.size() + 1 >= kCapacity) {
      break;
    }
    expected += p + "\n";
    ++expected_count;
  }
  expected = expected.substr(0, kCapacity - 1 - prefix);
  const std::string_view appended = std::string_view(text).substr(prefix);
  if (appended != expected) {
    fail("the paths appended differ from the plain reading", list);
  }
  if (count != expected_count) {
    fail("the count of paths differs", list);
  }
  // Each path is one line: no NUL can be in it (the text ends at the first), and its line
  // feeds are exactly the ones that end the paths.
  std::size_t line_feeds = 0;
  for (const char c : appended) {
    line_feeds += c == '\n' ? 1 : 0;
  }
  if (line_feeds > count || (appended.size() + prefix + 1 < kCapacity && line_feeds != count)) {
    fail("a path holds a line feed", list);
  }
  return 0;
}
