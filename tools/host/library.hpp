// Loading korvanelib the way a host does: open the file at run time, resolve exports by name.
#pragma once

#include <korvanelib.h>

#include <memory>
#include <string>

namespace korvane::host {

class Library {
 public:
  // Opens the library file at `path`; on failure returns null and sets `error`.
  static std::unique_ptr<Library> open(const std::string& path, std::string& error);

  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  ~Library();  // unloads the library

  // The export called `name`, or null when the library has none.
  [[nodiscard]] korvane_script_function find(const char* name) const;

 private:
  explicit Library(void* handle) : handle_(handle) {}
  void* handle_;
};

// The library file beside the running program (korvanelib.dll or korvanelib.so); on Linux, the
// one in ../lib when there is none beside it, as in an installed tree.
std::string library_beside_program();

}  // namespace korvane::host
