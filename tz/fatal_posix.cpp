#include <cstdio>
#include <cstdlib>

#include "tz/fatal.h"

void FatalOutOfMemory(const char* text) {
  std::fprintf(stderr, "Out of memory!: %s\n", text);
  std::exit(1);
}
