; The upgrade: the previous version's uninstaller runs first, and whatever it
; does, the board DLL that is not ours stays where it was.

; Runs the previous version's uninstaller, keeping its board DLL in place
; whatever that uninstaller does with it (older ones deleted it).
Function RemovePreviousVersion
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "UninstallString"
  !if ${BITS} == 64
    ; 64-bit installers of before recorded it in the 32-bit view: it moves
    ; to the 64-bit one, where this installer writes it anew.
    ${If} $R0 == ""
      SetRegView 32
      ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "UninstallString"
      DeleteRegKey HKLM "${UNINSTALL_KEY}"
      DeleteRegKey HKLM "${APP_KEY}"
      DeleteRegKey /ifempty HKLM "Software\${VENDOR}"
      SetRegView 64
    ${EndIf}
  !endif
  StrCpy $R1 $R0 1
  ${If} $R1 == '"'
    StrCpy $R0 $R0 -1 1
  ${EndIf}
  ${If} $R0 == ""
  ${OrIfNot} ${FileExists} $R0
    Return
  ${EndIf}
  ${GetParent} $R0 $R1
  ; Kept beside the folder, not in it, where no uninstaller of that folder
  ; reaches, however much of it it deletes.
  !insertmacro KeepBoardDll "$PLUGINSDIR\board-check.exe" $R1 "$R1.${BOARD_DLL}.kept" $R2
  DetailPrint "Removing the previous version from $R1"
  ExecWait '"$R0" /S _?=$R1'
  Delete $R0
  CreateDirectory $R1
  !insertmacro RestoreBoardDll $R1 $R2
  RMDir $R1
FunctionEnd


!if ${BITS} == 64
; The folder of the installation there is, unless the command line names one:
; in the registry's 64-bit view, or where 64-bit installers of before recorded
; it, in the 32-bit view.
Function FindInstallation
  ${IfThen} $FolderGiven == 1 ${|} Return ${|}
  Push $0
  ReadRegStr $0 HKLM "${APP_KEY}" ""
  ${If} $0 == ""
    SetRegView 32
    ReadRegStr $0 HKLM "${APP_KEY}" ""
    SetRegView 64
  ${EndIf}
  ${IfThen} $0 != "" ${|} StrCpy $INSTDIR $0 ${|}
  Pop $0
FunctionEnd
!endif
