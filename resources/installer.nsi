; The Windows installer of Sentrel, built by scripts/package with NSIS.
; BIN is the folder of the built programs.
Unicode false
!include "LogicLib.nsh"
!include "x64.nsh"
Name "Sentrel"
OutFile "${OUT}"
InstallDir "$PROGRAMFILES\Sentrel"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Sentrel"
  SetOutPath "$INSTDIR"
  ; A running monitor is asked to end first, so its files can be replaced.
  IfFileExists "$INSTDIR\Sentrel.exe" 0 +2
    ExecWait '"$INSTDIR\Sentrel.exe" -Q'
  File "${BIN}\Sentrel.exe"
  File "${BIN}\SentrelUac.exe"
  File "${BIN}\SENTRELX.DLL"
  File "${BIN}\SentrelEx.exe"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentrel" "DisplayName" "Sentrel"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentrel" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentrel" "DisplayVersion" "16.0.2009.0"
  CreateDirectory "$SMPROGRAMS\Sentrel"
  CreateShortCut "$SMPROGRAMS\Sentrel\Sentrel.lnk" "$INSTDIR\Sentrel.exe"
  CreateShortCut "$SMPROGRAMS\Sentrel\Sentrel OMNI.lnk" "$INSTDIR\SentrelEx.exe"
  ; The monitor registers itself to run at start on its first run.
  Exec '"$INSTDIR\Sentrel.exe"'
SectionEnd

Section "Uninstall"
  ExecWait '"$INSTDIR\Sentrel.exe" -Q'
  ExecWait '"$INSTDIR\SentrelEx.exe" -Restore'
  ; The monitor writes its Run value in the machine's own view, which on
  ; 64-bit Windows this 32-bit uninstaller must name.
  ${If} ${RunningX64}
    SetRegView 64
    DeleteRegValue HKLM "Software\Microsoft\Windows\CurrentVersion\Run" "Sentrel"
    SetRegView 32
  ${EndIf}
  DeleteRegValue HKLM "Software\Microsoft\Windows\CurrentVersion\Run" "Sentrel"
  DeleteRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentrel"
  Delete "$SMPROGRAMS\Sentrel\Sentrel.lnk"
  Delete "$SMPROGRAMS\Sentrel\Sentrel OMNI.lnk"
  RMDir "$SMPROGRAMS\Sentrel"
  Delete "$INSTDIR\Sentrel.exe"
  Delete "$INSTDIR\SentrelUac.exe"
  Delete "$INSTDIR\SentrelEx.exe"
  Delete "$INSTDIR\SENTRELX.DLL"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
