; The power monitor's Windows installer and uninstaller. The facts (names,
; version, architecture, paths) come from NSIS.template.in.
Unicode true
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor ${COMPRESSOR}
; No file times in the installer, so that every build of a commit makes the
; same bytes; the installed files carry the time they are written.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include nsDialogs.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${LABEL}"
!define START_MENU "$SMPROGRAMS\${LABEL}"
!define SIMULATED_LABEL "${APP_NAME} (${BITS}-bit, simulated board)"

Var BoardChoice    ; maker, keep or simulated
Var BoardDll       ; the maker's DLL to copy, for "maker"
Var Found          ; in the folder: none, simulated, fits or unfit
Var FoundSaid      ; what board-check said of it
Var MovedAside     ; where a replaced board DLL was kept
Var BoardText      ; what the finish page says
Var SwitchQuoted   ; 1 where the switch being read had quotes
Var FolderGiven    ; 1 where the command line names the folder (/D=)
Var RadioMaker     ; the board page's controls
Var RadioKeep
Var RadioSimulated
Var FileField

Name "${LABEL}"
OutFile "${OUT_FILE}"
InstallDir "${INSTALL_ROOT}\${APP_NAME}"
; The 64-bit installer reads and writes the registry's 64-bit view, which
; InstallDirRegKey cannot: FindInstallation reads it there.
!if ${BITS} == 32
  InstallDirRegKey HKLM "${APP_KEY}" ""
!endif
BrandingText "${APP_NAME} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!include "${__FILEDIR__}\boardcheck.nsh"
!include "${__FILEDIR__}\switches.nsh"
!include "${__FILEDIR__}\boardlibrary.nsh"
!include "${__FILEDIR__}\boardpage.nsh"
!include "${__FILEDIR__}\upgrade.nsh"

!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MUI_PAGE_DIRECTORY
Page custom BoardPage BoardPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$BoardText"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Stops before anything is written on a Windows the program cannot run on.
!macro RefuseThisWindows
  !if ${BITS} == 64
    ${IfNot} ${RunningX64}
      MessageBox MB_OK|MB_ICONSTOP "This is the 64-bit ${APP_NAME}, and this Windows is 32-bit: it cannot run it. Install ${OTHER_INSTALLER} instead." /SD IDOK
      SetErrorLevel ${EXIT_WINDOWS_REFUSED}
      Quit
    ${EndIf}
  !endif
  ReadRegStr $0 HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion" "CurrentBuildNumber"
  ${If} $0 != ""
  ${AndIf} $0 < ${OLDEST_WINDOWS_BUILD}
    !if ${BITS} == 64
      MessageBox MB_OK|MB_ICONSTOP "This is the 64-bit ${APP_NAME}, made for ${OLDEST_WINDOWS} (build ${OLDEST_WINDOWS_BUILD}) or later, and this Windows is build $0. Install ${OTHER_INSTALLER} instead." /SD IDOK
    !else
      MessageBox MB_OK|MB_ICONSTOP "The ${APP_NAME} needs ${OLDEST_WINDOWS} (build ${OLDEST_WINDOWS_BUILD}) or later, and this Windows is build $0." /SD IDOK
    !endif
    SetErrorLevel ${EXIT_WINDOWS_REFUSED}
    Quit
  ${EndIf}
!macroend

Function .onInit
  StrCpy $BoardChoice ""
  Call ReadSwitches
  !insertmacro RefuseThisWindows
  !if ${BITS} == 64
    SetRegView 64
    Call FindInstallation
  !endif
  SetShellVarContext all
  Call ExtractBoardCheck
  ${If} ${Silent}
    Call DecideSilently
  ${EndIf}
FunctionEnd

Section "-Install"
  SetShellVarContext all
  Call RemovePreviousVersion
  SetOutPath $INSTDIR
  File /r "${INST_DIR}\program\*.*"
  Call InstallBoardLibrary

  StrCpy $R0 "${LABEL}"
  ${If} $BoardChoice == simulated
    StrCpy $R0 "${SIMULATED_LABEL}"
  ${EndIf}
  WriteRegStr HKLM "${APP_KEY}" "" $INSTDIR
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" $R0
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\powermonitor.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" $INSTDIR
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  ; No Modify or Repair buttons, which would do nothing.
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; One shortcut, named as the board library makes it.
  RMDir /r "${START_MENU}"
  CreateDirectory "${START_MENU}"
  CreateShortCut "${START_MENU}\$R0.lnk" "$INSTDIR\powermonitor.exe"
  CreateShortCut "${START_MENU}\Uninstall.lnk" "$INSTDIR\Uninstall.exe"
SectionEnd

Function un.onInit
  Call un.ReadSwitches
  !if ${BITS} == 64
    SetRegView 64
  !endif
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  ; A board DLL that is not our simulated board stays where it is.
  !insertmacro KeepBoardDll "$INSTDIR\board-check.exe" "$INSTDIR" "$INSTDIR\${BOARD_DLL}.kept" $R0
  !insertmacro DeleteInstalledFiles
  !insertmacro RestoreBoardDll "$INSTDIR" $R0
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ${If} $R0 != ""
    MessageBox MB_OK|MB_ICONINFORMATION "The board library ${BOARD_DLL} is not the ${APP_NAME}'s own: it stays in $INSTDIR." /SD IDOK
  ${EndIf}

  RMDir /r "${START_MENU}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${APP_KEY}"
  DeleteRegKey /ifempty HKLM "Software\${VENDOR}"
SectionEnd
