#include "frame/export.hpp"

KORVANE_EXPORT(Version) { return KORVANE_VERSION; }
