; The upgrade: the previous version's uninstaller runs first, and whatever it
; does, the board DLL that is not ours stays where it was.

; Runs the previous version's uninstaller, keeping its board DLL in place
; whatever that uninstaller does with it (older ones deleted it).
Function RemovePreviousVersion
  Push $0 ; and $1: KeepBoardDll's board-check
  Push $1
  Push $R0
  Push $R1
  Push $R2
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
    Goto done
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
done:
  Pop $R2
  Pop $R1
  Pop $R0
  Pop $1
  Pop $0
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
