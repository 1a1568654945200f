#include <dlfcn.h>
#include <unistd.h>

#include <climits>

#include "host/library.hpp"

namespace korvane::host {

std::unique_ptr<Library> Library::open(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "cannot load " + path;
    return nullptr;
  }
  return std::unique_ptr<Library>(new Library(handle));
}

Library::~Library() { dlclose(handle_); }

korvane_script_function Library::find(const char* name) const {
  // POSIX guarantees that a function's address survives the round trip through void*.
  return reinterpret_cast<korvane_script_function>(dlsym(handle_, name));
}

std::string library_beside_program() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) {
    return "korvanelib.so";
  }
  std::string directory(path, static_cast<std::size_t>(length));
  directory.erase(directory.find_last_of('/') + 1);
  // In the build tree the library lies beside the program; in an installed tree, in ../lib.
  const std::string beside = directory + "korvanelib.so";
  const std::string installed = directory + "../lib/korvanelib.so";
  return access(beside.c_str(), F_OK) != 0 && access(installed.c_str(), F_OK) == 0 ? installed
                                                                                   : beside;
}

}  // namespace korvane::host
