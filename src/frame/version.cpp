#include "frame/export.hpp"

extern "C" KORVANE_API float KORVANE_CALL Version(const char*, double, char*, int) {
  return KORVANE_VERSION;
}
