#include "support/missing.hpp"

#include <cstdlib>
#include <fstream>
#include <string>

namespace korvane::test {

bool running_in_ci() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && (std::string_view(ci) == "true" || std::string_view(ci) == "1");
}

namespace {

// The reason `what` is left out of scripts/install-deps on purpose, from the list of deliberate
// omissions (its first word on a line), or the empty text.
std::string deliberate_omission(std::string_view what) {
  std::ifstream list(KORVANE_OMITTED_TOOLS);
  std::string line;
  while (std::getline(list, line)) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    const std::size_t end = line.find_first_of(" \t");
    if (line.substr(0, end) == what) {
      const std::size_t reason = line.find_first_not_of(" \t", end);
      return reason == std::string::npos ? "listed" : line.substr(reason);
    }
  }
  return "";
}

}  // namespace

Absence absence_of(std::string_view what, std::string_view remedy) {
  const std::string named =
      std::string(what) + (remedy.empty() ? "" : " (" + std::string(remedy) + ")");
  if (!running_in_ci()) {
    return {false, "missing: " + named};
  }
  if (const std::string reason = deliberate_omission(what); !reason.empty()) {
    return {false, "missing: " + named + "; left out of scripts/install-deps on purpose (" +
                       reason + "), so its tests are not run in CI"};
  }
  return {true, "missing in CI: " + named +
                    ". With CI=true nothing may be skipped for a missing tool: add its package "
                    "to scripts/install-deps, or list it in tests/omitted-tools.txt if it is "
                    "left out on purpose"};
}

}  // namespace korvane::test
