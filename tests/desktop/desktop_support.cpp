#include "desktop/desktop_support.hpp"

#include "host/library.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace korvane::test {

bool has_display() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}

std::string helper_program(const char* name) {
  std::filesystem::path path = host::library_beside_program();
  path.replace_filename(name);
  return path.string();
}

TempFile::TempFile(const std::string& name, std::string_view content)
    : path_((std::filesystem::temp_directory_path() /
             ("korvane-" + std::to_string(std::random_device()()) + "-" + name))
                .string()) {
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) {
    ADD_FAILURE() << "cannot write " << path_;
  }
}

TempFile::~TempFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace korvane::test
