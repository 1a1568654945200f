// Test helper: writes its arguments to standard output as bytes, with \0, \n, \r, \xHH and a
// doubled backslash standing for a NUL, a line feed, a carriage return, the byte HH and a
// backslash. Standard output is binary, on every platform. Among the arguments:
//   --repeat N TEXT    TEXT N times
//   --numbered N TEXT  the numbers 1 to N, each followed by TEXT
//   --pause MS         what came before is written out, then a pause of MS milliseconds
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

std::string unescape(const char* text) {
  std::string bytes;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c != '\\' || c[1] == '\0') {
      bytes += *c;
      continue;
    }
    ++c;
    if (*c == 'x' && c[1] != '\0' && c[2] != '\0') {
      const char hex[3] = {c[1], c[2], '\0'};
      bytes += static_cast<char>(std::strtol(hex, nullptr, 16));
      c += 2;
    } else {
      bytes += *c == '0' ? '\0' : *c == 'n' ? '\n' : *c == 'r' ? '\r' : *c;
    }
  }
  return bytes;
}

void put(const std::string& bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if ((argument == "--repeat" || argument == "--numbered") && i + 2 < argc) {
      const long count = std::strtol(argv[i + 1], nullptr, 10);
      const std::string text = unescape(argv[i + 2]);
      for (long n = 1; n <= count; ++n) {
        put((argument == "--numbered" ? std::to_string(n) : std::string()) + text);
      }
      i += 2;
    } else if (argument == "--pause" && i + 1 < argc) {
      std::fflush(stdout);
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(argv[++i])));
    } else {
      put(unescape(argv[i]));
    }
  }
  return 0;
}
