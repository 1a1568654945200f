// Test helper: starts a desktop program beside it the way the desktop starts one, and passes on
// what that program reports.
//   gui_launch PROGRAM [ARGUMENT...]
// PROGRAM (a file name beside this one) gets the path of a report file before the arguments.
// Once it has ended, the report is printed and its exit status becomes this one's; a program
// still running after two minutes is ended, and that fails.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gui_launch PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length < MAX_PATH ? length : 0);
  folder.erase(folder.find_last_of('\\') + 1);
  char temporary[MAX_PATH];
  char report[MAX_PATH];
  if (GetTempPathA(MAX_PATH, temporary) == 0 ||
      GetTempFileNameA(temporary, "kvr", 0, report) == 0) {
    std::fprintf(stderr, "gui_launch: no report file\n");
    return 2;
  }
  std::string command_line = "\"" + folder + argv[1] + "\" \"" + report + "\"";
  for (int i = 2; i < argc; ++i) {
    command_line += std::string(" ") + argv[i];
  }
  // No handle inherited and no STARTF_USESTDHANDLES: the program's standard handles are null.
  // DETACHED_PROCESS, because Wine would otherwise hand it this launcher's console, which a
  // program that the desktop starts does not have.
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                      nullptr, nullptr, &startup, &started)) {
    std::fprintf(stderr, "gui_launch: cannot start %s (error %lu)\n", command_line.c_str(),
                 GetLastError());
    DeleteFileA(report);
    return 2;
  }
  CloseHandle(started.hThread);
  DWORD status = 1;
  if (WaitForSingleObject(started.hProcess, 120000) != WAIT_OBJECT_0) {
    TerminateProcess(started.hProcess, 1);
    WaitForSingleObject(started.hProcess, INFINITE);
    std::printf("gui_launch: %s did not end within two minutes\n", argv[1]);
  } else {
    GetExitCodeProcess(started.hProcess, &status);
  }
  CloseHandle(started.hProcess);
  if (std::FILE* file = std::fopen(report, "rb")) {
    char block[4096];
    while (const std::size_t count = std::fread(block, 1, sizeof block, file)) {
      std::fwrite(block, 1, count, stdout);
    }
    std::fclose(file);
  }
  DeleteFileA(report);
  return static_cast<int>(status);
}
