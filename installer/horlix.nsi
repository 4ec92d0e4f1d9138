; The Windows installer of Horlix, built on Linux with makensis (NSIS 3).
;
;   makensis -DVERSION=1.6.5.0 -DPROGRAM_DIR=<folder> -DOUTFILE=<setup.exe>
;            -DICON=<horlix.ico> [-DWEB_SITE=http://...] [-DSIGN_TOOL=codesign.sh]
;            horlix.nsi
;
; SIGN_TOOL (release.sh --codesign): "SIGN_TOOL sign FILE" Authenticode-signs
; the uninstaller as makensis writes it, before it is packed, and then the
; installer itself.
;
; PROGRAM_DIR holds the program folder as it is installed: horlix.exe,
; horlixupdater.exe, horlixtz.ini, horlix.chm and horlix-alarm1.wav.
;
; Horlix runs on 64-bit Windows 7 with Service Pack 1 and on later 64-bit
; Windows; the installer is a 64-bit program itself and refuses an older
; Windows with a message and exit code 4.
;
; Installs for all users (administrator rights) into Program Files\Horlix,
; with a Start menu shortcut and the entry in the list of installed programs
; under HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Horlix.
; Runs silently with /S (then starts nothing at the end). Over an existing
; installation it first asks a running Horlix to close, through the window
; message it answers to (class "HORLIX", message 11550), and waits for it.
;
; The uninstaller removes the program files, the shortcut, the entry and the
; user's start-at-logon value when it names this installation; the user's
; settings (HKCU\SOFTWARE\Brenvale\horlix) and the application-data folder
; %APPDATA%\Horlix stay unless the user agrees to remove them, or /PURGE is
; given (a silent uninstall keeps them otherwise).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION (for example 1.6.5.0) is not defined"
!endif
!ifndef PROGRAM_DIR
  !error "PROGRAM_DIR (the program folder to install) is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "horlix-${VERSION}-setup.exe"
!endif
!ifndef WEB_SITE
  !define WEB_SITE "http://horlix.example"
!endif

!ifdef SIGN_TOOL
  !uninstfinalize '"${SIGN_TOOL}" sign "%1"' = 0
  !finalize '"${SIGN_TOOL}" sign "%1"' = 0
!endif

!define PRODUCT "Horlix"
!define PRODUCT_LONG "Horlix World Time Utility"
!define PUBLISHER "Brenvale"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Horlix"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "SOFTWARE\Brenvale\horlix"
; How a running Horlix is found and asked to close.
!define WINDOW_CLASS "HORLIX"
!define CLOSE_MESSAGE 11550

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinVer.nsh"

Name "${PRODUCT_LONG}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT_LONG} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT_LONG}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT_LONG} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Setup will guide you through the installation of $(^NameDA).$\r$\n$\r$\n\
$(^NameDA) runs on 64-bit Windows 7 with Service Pack 1 and on every later 64-bit Windows.$\r$\n$\r$\n$_CLICK"
; "Start Horlix now" starts the program through Explorer, the user's own
; shell, so that it runs with the user's normal rights and not elevated like
; the installer (its settings belong in the user's own registry).
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartHorlixAsUser
!define MUI_FINISHPAGE_RUN_TEXT "Start Horlix now"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\horlix.chm"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the help file"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Asks a running Horlix to close and waits until its window has gone and its
; program file can be written; when it does not close, asks the user to close
; it (Retry) or gives up (Cancel, also the silent answer).
!macro CLOSE_HORLIX prefix
Function ${prefix}CloseHorlix
  StrCpy $R1 0
  close_loop:
    FindWindow $R0 "${WINDOW_CLASS}" ""
    ${If} $R0 == 0
      Goto close_file
    ${EndIf}
    ${If} $R1 == 0
      DetailPrint "Asking the running Horlix to close..."
      SendMessage $R0 ${CLOSE_MESSAGE} 0 0 /TIMEOUT=5000
    ${EndIf}
    Sleep 250
    IntOp $R1 $R1 + 1
    ${If} $R1 < 60
      Goto close_loop
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Horlix is still running.$\r$\nPlease close it (right-click the clocks, Exit) and press Retry." \
        /SD IDCANCEL IDRETRY close_retry
    DetailPrint "Horlix is still running."
    SetErrorLevel 3
    Abort "Horlix is still running; close it and run this program again."
  close_retry:
    StrCpy $R1 0
    Goto close_loop
  close_file:
  ; The process ends a moment after its window; until then its file is locked.
  StrCpy $R1 0
  ${IfNot} ${FileExists} "$INSTDIR\horlix.exe"
    Return
  ${EndIf}
  file_loop:
    ClearErrors
    FileOpen $R2 "$INSTDIR\horlix.exe" a
    ${IfNot} ${Errors}
      FileClose $R2
      Return
    ${EndIf}
    Sleep 250
    IntOp $R1 $R1 + 1
    ${If} $R1 < 40
      Goto file_loop
    ${EndIf}
FunctionEnd
!macroend
!insertmacro CLOSE_HORLIX ""
!insertmacro CLOSE_HORLIX "un."

Function StartHorlixAsUser
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\horlix.exe"'
FunctionEnd

Function .onInit
  SetShellVarContext all
  ; A 64-bit installer runs only on 64-bit Windows; the version is left.
  StrCpy $R0 0
  ${IfNot} ${AtLeastWin7}
    StrCpy $R0 1
  ${ElseIf} ${IsWin7}
  ${AndIf} ${AtMostServicePack} 0
    StrCpy $R0 1
  ${EndIf}
  ${If} $R0 == 1
    MessageBox MB_OK|MB_ICONSTOP \
        "${PRODUCT_LONG} needs 64-bit Windows 7 with Service Pack 1 or a later Windows." /SD IDOK
    SetErrorLevel 4
    Abort
  ${EndIf}
FunctionEnd

Section "Horlix" SecProgram
  SectionIn RO
  Call CloseHorlix
  SetOutPath "$INSTDIR"
  File "${PROGRAM_DIR}\horlix.exe"
  File "${PROGRAM_DIR}\horlixupdater.exe"
  File "${PROGRAM_DIR}\horlixtz.ini"
  File "${PROGRAM_DIR}\horlix.chm"
  File "${PROGRAM_DIR}\horlix-alarm1.wav"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\horlix.exe" "" "$INSTDIR\horlix.exe" 0 \
      SW_SHOWNORMAL "" "${PRODUCT_LONG}"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT_LONG}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\horlix.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINST_KEY}" "URLInfoAbout" "${WEB_SITE}/horlix/"
  WriteRegStr HKLM "${UNINST_KEY}" "HelpLink" "${WEB_SITE}/horlix/"
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"
SectionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  Call un.CloseHorlix
  Delete "$INSTDIR\horlix.exe"
  Delete "$INSTDIR\horlixupdater.exe"
  Delete "$INSTDIR\horlixtz.ini"
  Delete "$INSTDIR\horlix.chm"
  Delete "$INSTDIR\horlix-alarm1.wav"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINST_KEY}"

  ; Starting at logon: only the value that starts this installation's program.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Horlix"
  ${If} $0 == "$INSTDIR\horlix.exe"
    DeleteRegValue HKCU "${RUN_KEY}" "Horlix"
  ${EndIf}

  ; The user's settings and downloaded files stay unless asked otherwise.
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/PURGE" $2
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
        "Also remove your Horlix settings and clocks, and the files Horlix downloaded?" \
        /SD IDNO IDYES purge
    Goto done
  ${EndIf}
  purge:
    DetailPrint "Removing the settings and the application-data folder"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "SOFTWARE\Brenvale"
    SetShellVarContext current
    RMDir /r "$APPDATA\Horlix"
    SetShellVarContext all
  done:
SectionEnd
