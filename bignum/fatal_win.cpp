// Windows report of a fatal library error: a modal stop box without owner.
#include "bignum/mp_fatal_report.h"

#include <windows.h>

void mpShowFatal(const char *text) {
    MessageBoxA(nullptr, text, "Kalbrum Error", MB_OK | MB_ICONERROR);
}
