// The platform's own report of a fatal library error; one file per platform
// (fatal_win.cpp shows a message box, fatal_posix.cpp writes standard error).
#pragma once

void mpShowFatal(const char *text);
