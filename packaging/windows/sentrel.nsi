; Sentrel for Windows: a per-user installer (no administrator rights needed).
;
; Sentrel writes its settings, layout, state files and log beside its executable, so the
; program folder must be the dispatcher's own: by default %LOCALAPPDATA%\Sentrel. The
; installer puts the program, its DLLs, Qt's plugins and the default alert sounds there,
; adds a Start-menu entry and an uninstaller. The uninstaller removes the program and keeps
; the dispatcher's data (Sentrel.ini, Interface.ini, Snt*.dat, the logs, the sounds) unless
; the dispatcher asks for them to go too; silently (/S) it keeps them, and /S /REMOVEDATA
; removes them.
;
; makensis -DVERSION=1.4 -DSTAGE=<program folder> -DOUTFILE=<setup.exe> -DFILELIST=<nsh> sentrel.nsi
; FILELIST is written by make-installer.sh: one Delete line per installed program file.

; A 64-bit installer for the 64-bit program (and for a wine without its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define APP "Sentrel"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentrel"
; The program's single-instance mutex: while it exists a copy of Sentrel is running.
!define MUTEX "Sentrel-088FA840-B10D-11D3-BC36-006067709674"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Sentrel"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "${APP} ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1049 "ProductName" "${APP}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка Sentrel"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "Sentrel developers"

!if /FileExists "${STAGE}\sentrel.ico"
  !define MUI_ICON "${STAGE}\sentrel.ico"
  !define MUI_UNICON "${STAGE}\sentrel.ico"
!endif
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\sentrel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Запустить Sentrel"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

; Stops when a copy of Sentrel is running: its files cannot be replaced or removed then.
!macro CheckNotRunning UN
Function ${UN}CheckNotRunning
  retry:
  ; SYNCHRONIZE (0x00100000): enough to learn whether the mutex exists.
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${MUTEX}") p .r0'
  ${If} $0 P<> 0
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Sentrel сейчас работает. Закройте программу (меню «Выход») и нажмите «Повтор»." \
      /SD IDCANCEL IDRETRY retry
    Abort "Sentrel работает: установка отменена."
  ${EndIf}
FunctionEnd
!macroend
!insertmacro CheckNotRunning ""
!insertmacro CheckNotRunning "un."

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "Sentrel" SecMain
  SetShellVarContext current
  Call CheckNotRunning
  SetOutPath "$INSTDIR"
  File /r /x Sounds "${STAGE}\*.*"
  ; The dispatcher may have replaced a sound: an upgrade adds missing ones only.
  SetOutPath "$INSTDIR\Sounds"
  SetOverwrite off
  File "${STAGE}\Sounds\*.wav"
  SetOverwrite on
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Sentrel"
  CreateShortCut "$SMPROGRAMS\Sentrel\Sentrel.lnk" "$INSTDIR\sentrel.exe" "" \
    "$INSTDIR\sentrel.ico" 0 SW_SHOWNORMAL "" "Диспетчерская консоль Sentrel"
  CreateShortCut "$SMPROGRAMS\Sentrel\Удалить Sentrel.lnk" "$INSTDIR\Uninstall.exe"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "Sentrel ${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "Sentrel developers"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\sentrel.ico"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  Call un.CheckNotRunning
  ; The program's own files, one by one: whatever else is in the folder is the dispatcher's.
  !include "${FILELIST}"
  Delete "$INSTDIR\Uninstall.exe"
  Delete "$SMPROGRAMS\Sentrel\Sentrel.lnk"
  Delete "$SMPROGRAMS\Sentrel\Удалить Sentrel.lnk"
  RMDir "$SMPROGRAMS\Sentrel"
  DeleteRegKey HKCU "${UNINST_KEY}"

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEDATA" $R1
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Удалить также настройки и данные диспетчера в папке$\r$\n$INSTDIR$\r$\n(Sentrel.ini, Interface.ini, файлы Snt*.dat, журналы, звуки)?$\r$\n$\r$\nЕсли вы будете ставить Sentrel снова, ответьте «Нет»." \
      /SD IDNO IDYES remove_data
    Goto keep_data
  ${EndIf}
  remove_data:
  Delete "$INSTDIR\Sentrel.ini"
  Delete "$INSTDIR\Interface.ini"
  Delete "$INSTDIR\SntSettings.dat"
  Delete "$INSTDIR\SntQMXMSG.dat"
  Delete "$INSTDIR\SntHistory.dat"
  Delete "$INSTDIR\SntSpec.dat"
  Delete "$INSTDIR\Sentrel.log"
  Delete "$INSTDIR\SntOld.log"
  Delete "$INSTDIR\Sounds\*.wav"
  RMDir "$INSTDIR\Sounds"
  keep_data:
  ; Removed only when nothing of the dispatcher's is left in it.
  RMDir "$INSTDIR"
SectionEnd
