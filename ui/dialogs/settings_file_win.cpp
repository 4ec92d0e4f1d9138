// The export and import dialogue of the settings file: questions, the file
// dialogs, messages, and the restart after an import.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>

#include "clocks/settings.h"
#include "ui/dialogs/dialogs.h"
#include "ui/dialogs/settings_file.h"
#include "update/sites.h"

namespace {

constexpr const char kFilters[] = "Horlix files {*.hrlx}\0*.hrlx\0Text files {*.txt}\0*.txt\0";
constexpr const char* kInitialName = "horlix-settings";
constexpr const char* kInvalidFileText = "Invalid Horlix settings file";

void PrepareFileDialog(HWND owner, char* path, OPENFILENAMEA* dialog) {
  std::snprintf(path, MAX_PATH, "%s", kInitialName);
  ZeroMemory(dialog, sizeof *dialog);
  dialog->lStructSize = sizeof *dialog;
  dialog->hwndOwner = owner;
  dialog->lpstrFilter = kFilters;
  dialog->nFilterIndex = 1;
  dialog->lpstrFile = path;
  dialog->nMaxFile = MAX_PATH;  // a path of at most 259 characters
  dialog->lpstrDefExt = "hrlx";
}

// After a file dialog returned FALSE: silent for a cancel, else the error.
void ReportFileDialogFailure(HWND owner, UINT icon) {
  const DWORD error = CommDlgExtendedError();
  if (error == 0) return;
  char text[64];
  std::snprintf(text, sizeof text, "CommDlgExtendedError=%08lx", static_cast<unsigned long>(error));
  MessageBoxA(owner, text, "Sorry, an error occurred", MB_OK | icon);
}

bool AskSaveFile(HWND owner, char* path) {
  OPENFILENAMEA dialog;
  PrepareFileDialog(owner, path, &dialog);
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;
  if (GetSaveFileNameA(&dialog)) return true;
  ReportFileDialogFailure(owner, MB_ICONWARNING);
  return false;
}

bool AskOpenFile(HWND owner, char* path) {
  OPENFILENAMEA dialog;
  PrepareFileDialog(owner, path, &dialog);
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (GetOpenFileNameA(&dialog)) return true;
  ReportFileDialogFailure(owner, MB_ICONERROR);
  return false;
}

// Slots beyond the imported list give up their title buttons; clocks new to
// the list get a zone state, so every clock in use owns one until the window
// is destroyed by the restart.
void AdoptImportedList(int oldCount) {
  for (int i = Clocks.N; i < oldCount && i < kMaxClocks; ++i) {
    HWND button = static_cast<HWND>(Clocks.clocks[i].titleButton);
    if (button != nullptr) DestroyWindow(button);
    Clocks.clocks[i].titleButton = nullptr;
  }
  CreateClockZoneStates();
}

}  // namespace

void ExportSettings(HWND owner) {
  if (MessageBoxA(owner,
                  "This will export your current settings to a file of your choice. Do you "
                  "want to continue?",
                  "Export Horlix Settings", MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
    return;
  }
  char path[MAX_PATH];
  if (!AskSaveFile(owner, path)) return;
  char page[256];
  UpdateWebAddress(kProgramPagePath, page, sizeof page);
  WallClock now;
  ReadUtcWallClock(&now);
  switch (WriteSettingsFile(path, page, now)) {
    case kFileNotCreated:
      MessageBoxA(owner, "Unable to create a new file", "Error", MB_OK | MB_ICONWARNING);
      break;
    case kFileWriteFailed:
      // Not silent: a partly written file would fail the import later.
      MessageBoxA(owner, "Unable to write the settings file", "Error", MB_OK | MB_ICONWARNING);
      break;
    default:
      break;
  }
}

void ImportSettings(HWND owner) {
  if (MessageBoxA(owner,
                  "This will import Horlix settings from a '.hrlx' file and overwrite all your "
                  "existing settings (you will get a second chance to confirm later). Do you "
                  "want to continue?",
                  "Import Horlix Settings", MB_OKCANCEL | MB_ICONWARNING) != IDOK) {
    return;
  }
  char path[MAX_PATH];
  if (!AskOpenFile(owner, path)) return;
  static ImportedSettings imported;  // 64 clocks: too big for the stack of a dialog callback
  if (ReadSettingsFile(path, &imported) != 0) {
    MessageBoxA(owner, kInvalidFileText, "ERROR", MB_OK | MB_ICONERROR);
    return;
  }
  char question[kImportQuestionChars];
  ComposeImportQuestion(imported, question, sizeof question);
  if (MessageBoxA(owner, question, "Change settings", MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
    return;
  }
  const int oldCount = Clocks.N;
  ApplyImportedSettings(path, imported);
  AdoptImportedList(oldCount);
  RestartProgram(owner);
}
