// Scripted processes for native tests: nothing is started.
#include <string>
#include <vector>

#include "update/process.h"

namespace {

struct Call {
  std::string command;
  std::string title;
};

struct ProcessScript {
  bool runStarts = false;
  uint32_t exitCode = 0;
  bool hiddenStarts = false;
  std::vector<Call> calls;
  uint32_t paused = 0;
};

ProcessScript gScript;

}  // namespace

bool RunAndWait(const char* commandLine, const char* consoleTitle, uint32_t* exitCode) {
  gScript.calls.push_back(Call{commandLine, consoleTitle});
  if (!gScript.runStarts) return false;
  *exitCode = gScript.exitCode;
  return true;
}

bool StartHidden(const char* commandLine) {
  gScript.calls.push_back(Call{commandLine, ""});
  return gScript.hiddenStarts;
}

void PauseMilliseconds(uint32_t milliseconds) { gScript.paused += milliseconds; }

void ProcessScriptReset(bool runStarts, uint32_t exitCode, bool hiddenStarts) {
  gScript = ProcessScript{};
  gScript.runStarts = runStarts;
  gScript.exitCode = exitCode;
  gScript.hiddenStarts = hiddenStarts;
}

int ProcessScriptCalls() { return static_cast<int>(gScript.calls.size()); }

const char* ProcessScriptCommand(int index) {
  return index >= 0 && index < ProcessScriptCalls() ? gScript.calls[index].command.c_str() : "";
}

const char* ProcessScriptTitle(int index) {
  return index >= 0 && index < ProcessScriptCalls() ? gScript.calls[index].title.c_str() : "";
}

uint32_t ProcessScriptPaused() { return gScript.paused; }
