#include <windows.h>

#include <cstring>

#include "clocks/clock_list.h"
#include "update/process.h"

namespace {

constexpr size_t kCommandChars = 520;

bool Start(const char* commandLine, const char* title, bool inherit, WORD show,
           PROCESS_INFORMATION* process) {
  char line[kCommandChars];  // CreateProcessA may write into it
  CopyBounded(line, sizeof line, commandLine, sizeof line - 1);
  char consoleTitle[128];
  CopyBounded(consoleTitle, sizeof consoleTitle, title, sizeof consoleTitle - 1);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  startup.lpTitle = title != nullptr ? consoleTitle : nullptr;
  *process = PROCESS_INFORMATION{};
  return CreateProcessA(nullptr, line, nullptr, nullptr, inherit ? TRUE : FALSE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, process) != FALSE;
}

}  // namespace

bool RunAndWait(const char* commandLine, const char* consoleTitle, uint32_t* exitCode) {
  PROCESS_INFORMATION process;
  if (!Start(commandLine, consoleTitle, true, SW_SHOWNORMAL, &process)) return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  const bool read = GetExitCodeProcess(process.hProcess, &code) != FALSE;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  *exitCode = code;
  return read;
}

bool StartHidden(const char* commandLine) {
  PROCESS_INFORMATION process;
  if (!Start(commandLine, nullptr, false, SW_HIDE, &process)) return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

void PauseMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

void ProcessScriptReset(bool, uint32_t, bool) {}
int ProcessScriptCalls() { return 0; }
const char* ProcessScriptCommand(int) { return ""; }
const char* ProcessScriptTitle(int) { return ""; }
uint32_t ProcessScriptPaused() { return 0; }
