; Putting the board library in place under the installed program: the maker's
; DLL with its companions (the DLLs of the maker's beside it that it needs),
; the board DLL already in the folder, or the simulated board. A board DLL that
; is not our simulated board is never overwritten or deleted: one that is
; replaced stays in the folder as ${BOARD_LIBRARY_NAME}.previous.dll, and the
; upgrade and the uninstaller keep it (KeepBoardDll). The maker's DLLs are one
; set: a companion given with the board DLL replaces the one of its name in the
; folder, which stays there as <name>.previous.dll, unless it is one of the
; program's own files.

; Moves the board DLL in FOLDER to KEEP, a name in the same folder, unless
; board-check (CHECKER) says it is our simulated board, so that nothing that
; removes our files removes it; sets OUT to KEEP, or to "" where nothing was
; kept. Every path that must keep an operator's board DLL goes through here:
; the uninstaller, the upgrade, and a board library replaced by another.
!macro KeepBoardDll CHECKER FOLDER KEEP OUT
  StrCpy ${OUT} ""
  ${If} ${FileExists} "${FOLDER}\${BOARD_DLL}"
    !insertmacro BoardCheck "${CHECKER}" "${FOLDER}\${BOARD_DLL}"
    ${If} $0 != ${CHECK_FITS_SIMULATED}
      ClearErrors
      Rename "${FOLDER}\${BOARD_DLL}" "${KEEP}"
      ${IfNot} ${Errors}
        StrCpy ${OUT} "${KEEP}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; Puts a board DLL kept by KeepBoardDll (KEPT, "" for none) back in FOLDER.
!macro RestoreBoardDll FOLDER KEPT
  ${If} "${KEPT}" != ""
  ${AndIfNot} ${FileExists} "${FOLDER}\${BOARD_DLL}"
    Rename "${KEPT}" "${FOLDER}\${BOARD_DLL}"
  ${EndIf}
!macroend

; The first name free in $INSTDIR for a file NAME (its name without .dll)
; that is replaced: NAME.previous.dll, NAME.previous-2.dll and so on.
!macro FreePreviousName NAME OUT
  Push $R8
  StrCpy ${OUT} "$INSTDIR\${NAME}.previous.dll"
  StrCpy $R8 1
  ${While} ${FileExists} ${OUT}
    IntOp $R8 $R8 + 1
    StrCpy ${OUT} "$INSTDIR\${NAME}.previous-$R8.dll"
  ${EndWhile}
  Pop $R8
!macroend

; Copies the companions of $BoardDll, the DLLs beside it that it needs, over
; those of their names in the folder, which are kept under another name; one
; of the program's own files stays. Adds what it did to $BoardText.
Function InstallCompanions
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  !insertmacro RunBoardCheck "$PLUGINSDIR\board-check.exe" '--companions "$BoardDll"'
  ${IfThen} $0 != ${CHECK_FITS} ${|} StrCpy $1 "" ${|}
  ${GetParent} $BoardDll $2
  ; One name a line.
  StrCpy $3 ""
  StrCpy $4 0
  ${Do}
    StrCpy $5 $1 1 $4
    ${If} $5 == "$\r"
    ${OrIf} $5 == "$\n"
    ${OrIf} $5 == ""
      !insertmacro IsOwnFile $3 $6
      ${If} $3 == ""
      ${ElseIf} $6 == 1
        StrCpy $BoardText "$BoardText It needs $3, which is one of the program's own files: the program's stays."
      ${ElseIf} ${FileExists} "$INSTDIR\$3"
        StrCpy $6 $3 -4
        !insertmacro FreePreviousName $6 $7
        ClearErrors
        Rename "$INSTDIR\$3" $7
        ${If} ${Errors}
          StrCpy $BoardText "$BoardText $3, which it needs, could not be replaced (is it in use?): the one in the folder stays."
        ${Else}
          CopyFiles /SILENT "$2\$3" "$INSTDIR\$3"
          StrCpy $BoardText "$BoardText With it, $3 from the same folder; the $3 that was there is kept as $7."
        ${EndIf}
      ${Else}
        CopyFiles /SILENT "$2\$3" "$INSTDIR\$3"
        StrCpy $BoardText "$BoardText With it, $3 from the same folder."
      ${EndIf}
      StrCpy $3 ""
    ${Else}
      StrCpy $3 "$3$5"
    ${EndIf}
    ${IfThen} $5 == "" ${|} ${ExitDo} ${|}
    IntOp $4 $4 + 1
  ${Loop}
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Puts the chosen board library in place and sets $BoardText.
Function InstallBoardLibrary
  Push $0 ; and $1: KeepBoardDll's board-check
  Push $1
  Push $R9
  StrCpy $MovedAside ""
  ${If} $BoardChoice != keep
    !insertmacro FreePreviousName ${BOARD_LIBRARY_NAME} $R9
    !insertmacro KeepBoardDll "$PLUGINSDIR\board-check.exe" "$INSTDIR" $R9 $MovedAside
  ${EndIf}
  ${If} $BoardChoice == maker
    CopyFiles /SILENT $BoardDll "$INSTDIR\${BOARD_DLL}"
    ${IfNot} ${FileExists} "$INSTDIR\${BOARD_DLL}"
      Abort "Could not copy $BoardDll to $INSTDIR."
    ${EndIf}
    StrCpy $BoardText "The program uses the board maker's DLL, copied from $BoardDll."
    Call InstallCompanions
  ${ElseIf} $BoardChoice == keep
    StrCpy $BoardText "The program uses the board library already installed, $INSTDIR\${BOARD_DLL}."
  ${Else}
    SetOutPath $INSTDIR
    File "${INST_DIR}\simulated_board\${BOARD_DLL}"
    StrCpy $BoardText "The program uses the SIMULATED board: it reads and switches no hardware. To use the board, run this installer again and choose the board maker's DLL."
  ${EndIf}
  ${If} $MovedAside != ""
    StrCpy $BoardText "$BoardText The board library that was there is kept as $MovedAside."
  ${EndIf}
  DetailPrint $BoardText
  Pop $R9
  Pop $1
  Pop $0
FunctionEnd
