// Starting programs for the upgrade. Windows: CreateProcessA
// (process_win.cpp); natively a scripted twin (process_mem.cpp) records the
// command lines and answers as told.
#pragma once

#include <cstdint>

// Starts the command line in a normally shown console window titled
// consoleTitle, handles inherited, and waits without limit for it to end.
// False when it cannot be started or its exit code cannot be read.
bool RunAndWait(const char* commandLine, const char* consoleTitle, uint32_t* exitCode);
// Starts the command line with its window hidden, handles not inherited,
// without waiting; false when it cannot be started.
bool StartHidden(const char* commandLine);
void PauseMilliseconds(uint32_t milliseconds);

// The native twin only: how the next calls answer, and what they were given.
void ProcessScriptReset(bool runStarts, uint32_t exitCode, bool hiddenStarts);
int ProcessScriptCalls();                // RunAndWait and StartHidden together
const char* ProcessScriptCommand(int index);
const char* ProcessScriptTitle(int index);  // "" for StartHidden
uint32_t ProcessScriptPaused();          // milliseconds paused in all
