// Test helper: writes its argument to standard output as bytes, with \0, \n and \\ standing for
// a NUL, a line feed and a backslash. Standard output is binary, on every platform.
#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

int main(int argc, char** argv) {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::string bytes;
  for (int i = 1; i < argc; ++i) {
    for (const char* c = argv[i]; *c != '\0'; ++c) {
      if (*c == '\\' && c[1] != '\0') {
        ++c;
        bytes += *c == '0' ? '\0' : *c == 'n' ? '\n' : *c;
      } else {
        bytes += *c;
      }
    }
  }
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  return 0;
}
