; Putting the board library in place under the installed program: the maker's
; DLL with its companions (the DLLs of the maker's beside it that it needs),
; the board DLL already in the folder, or the simulated board. A board DLL that
; is not our simulated board is never overwritten or deleted: one that is
; replaced stays in the folder as ${BOARD_LIBRARY_NAME}.previous.dll, and the
; upgrade and the uninstaller keep it (KeepBoardDll).

Var MovedAside    ; where a replaced board DLL was kept
Var BoardText     ; what the finish page says

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

; Copies the companions of $BoardDll, the DLLs beside it that it needs, that
; the folder does not hold yet; adds what it did to $BoardText.
Function InstallCompanions
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
      ${If} $3 != ""
        ${If} ${FileExists} "$INSTDIR\$3"
          StrCpy $BoardText "$BoardText $3, which it needs, was in the folder already and is kept."
        ${Else}
          CopyFiles /SILENT "$2\$3" "$INSTDIR\$3"
          StrCpy $BoardText "$BoardText With it, $3 from the same folder."
        ${EndIf}
      ${EndIf}
      StrCpy $3 ""
    ${Else}
      StrCpy $3 "$3$5"
    ${EndIf}
    ${IfThen} $5 == "" ${|} ${ExitDo} ${|}
    IntOp $4 $4 + 1
  ${Loop}
FunctionEnd

; Puts the chosen board library in place and sets $BoardText.
Function InstallBoardLibrary
  StrCpy $MovedAside ""
  ${If} $BoardChoice != keep
    ; The first free name for the one it replaces.
    StrCpy $R9 "$INSTDIR\${BOARD_LIBRARY_NAME}.previous.dll"
    StrCpy $R8 1
    ${While} ${FileExists} $R9
      IntOp $R8 $R8 + 1
      StrCpy $R9 "$INSTDIR\${BOARD_LIBRARY_NAME}.previous-$R8.dll"
    ${EndWhile}
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
FunctionEnd
