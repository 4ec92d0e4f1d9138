// mpFatal: the end of every failed memory request in the library.
#include "bignum/kalbrum.h"
#include "bignum/mp_fatal_report.h"

#include <cstdlib>

namespace {
void (*g_reporter)(const char *text) = nullptr;
}

void kbSetFatalReporter(void (*report)(const char *text)) { g_reporter = report; }

void mpFatal(const char *text) {
    if (g_reporter) {
        g_reporter(text);
    } else {
        mpShowFatal(text);
    }
    // The normal runtime exit, so buffered console output still gets flushed.
    std::exit(1);
}
