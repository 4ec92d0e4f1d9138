// Report of a fatal library error where there is no message box: one line on
// standard error, with the caption the Windows box carries.
#include "bignum/mp_fatal_report.h"

#include <cstdio>

void mpShowFatal(const char *text) {
    std::fprintf(stderr, "Kalbrum Error: %s\n", text);
    std::fflush(stderr);
}
