#include "support/calls.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "host/library.hpp"

namespace korvane::test {
namespace {

constexpr std::size_t kGuard = 64;
constexpr char kGuardByte = '\x5A';

std::string library_path() {
  const char* path = std::getenv("KORVANE_LIBRARY");
  return path != nullptr && *path != '\0' ? path : host::library_beside_program();
}

const host::Library* library() {
  static const std::unique_ptr<host::Library> loaded = [] {
    std::string error;
    auto opened = host::Library::open(library_path(), error);
    if (!opened) {
      ADD_FAILURE() << "cannot load the library: " << error;
    }
    return opened;
  }();
  return loaded.get();
}

Outcome call_through(korvane_script_function function, const char* text, double number,
                     std::string_view start) {
  std::vector<char> block(KORVANE_BUFFER_CAPACITY + kGuard, kGuardByte);
  const std::size_t length = std::min(start.size(), std::size_t{KORVANE_BUFFER_CAPACITY} - 1);
  if (length != 0) {
    std::memcpy(block.data(), start.data(), length);  // an empty view's data() may be null
  }
  block[length] = '\0';
  const float result = function(text, number, block.data(), 0);
  for (std::size_t i = KORVANE_BUFFER_CAPACITY; i < block.size(); ++i) {
    if (block[i] != kGuardByte) {
      ADD_FAILURE() << "the call wrote past the buffer's capacity, at byte " << i;
      break;
    }
  }
  const void* nul = std::memchr(block.data(), '\0', KORVANE_BUFFER_CAPACITY);
  if (nul == nullptr) {
    ADD_FAILURE() << "the call left no NUL within the capacity";
    return {result, std::string(block.data(), KORVANE_BUFFER_CAPACITY)};
  }
  return {result, std::string(block.data())};
}

}  // namespace

korvane_script_function find_export(const char* name) {
  const host::Library* loaded = library();
  if (loaded == nullptr) {
    return nullptr;
  }
  const korvane_script_function function = loaded->find(name);
  if (function == nullptr) {
    ADD_FAILURE() << "the library has no export " << name;
  }
  return function;
}

Outcome call(const char* name, const char* text, double number, std::string_view buffer) {
  const korvane_script_function function = find_export(name);
  if (function == nullptr) {
    return {-1.0f, "<missing export>"};
  }
  return call_through(function, text, number, buffer);
}

Outcome call_in_fresh_load(const char* name, const char* text, double number) {
  std::string error;
  const auto fresh = host::Library::open(library_path(), error);
  if (!fresh) {
    ADD_FAILURE() << "cannot load the library: " << error;
    return {-1.0f, ""};
  }
  const korvane_script_function function = fresh->find(name);
  if (function == nullptr) {
    ADD_FAILURE() << "the library has no export " << name;
    return {-1.0f, ""};
  }
  return call_through(function, text, number, "");
}

}  // namespace korvane::test
