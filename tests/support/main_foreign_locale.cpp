// Runs the tests in a host that has set a locale other than "C": German, with a decimal comma
// and 8-bit letters, as a host may. Every answer must stay as in the "C" locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

int main(int argc, char** argv) {
  const char* const candidates[] = {"de_DE.ISO-8859-1", "de_DE.UTF-8", "German_Germany.1252",
                                    "German"};
  const char* chosen = nullptr;
  for (const char* name : candidates) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      chosen = name;
      break;
    }
  }
  if (chosen == nullptr) {
    std::fprintf(stderr, "no German locale is installed; install one (see the README)\n");
    return 1;
  }
  if (std::localeconv()->decimal_point[0] != ',') {
    std::fprintf(stderr, "locale %s has no decimal comma\n", chosen);
    return 1;
  }
  std::printf("host locale: %s\n", chosen);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
