// The one way the clock program ends when memory runs out: a message to the
// user (a message box on Windows, standard error elsewhere), then exit 1.
#pragma once

[[noreturn]] void FatalOutOfMemory(const char* text);
