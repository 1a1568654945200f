#include <windows.h>

#include "host/library.hpp"

namespace korvane::host {

std::unique_ptr<Library> Library::open(const std::string& path, std::string& error) {
  HMODULE handle = LoadLibraryA(path.c_str());
  if (handle == nullptr) {
    error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  return std::unique_ptr<Library>(new Library(handle));
}

Library::~Library() { FreeLibrary(static_cast<HMODULE>(handle_)); }

korvane_script_function Library::find(const char* name) const {
  FARPROC address = GetProcAddress(static_cast<HMODULE>(handle_), name);
  // GetProcAddress returns every export under one generic function-pointer type.
  return reinterpret_cast<korvane_script_function>(reinterpret_cast<void (*)()>(address));
}

std::string library_beside_program() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) {
    return "korvanelib.dll";
  }
  std::string directory(path, length);
  directory.erase(directory.find_last_of("\\/") + 1);
  return directory + "korvanelib.dll";
}

}  // namespace korvane::host
