; Asking board-check (board/check) about a DLL, before anything is written:
; the DLL the operator names, and the board DLL already in the folder.

; Runs board-check with ARGUMENTS: $0 is its exit status, $1 what it said.
; One that has not finished within CHECK_SECONDS is stopped, and what it was
; asked is taken as refused: $0 is "timeout" and $1 says so.
!define /math CHECK_MILLISECONDS ${CHECK_SECONDS} * 1000
!macro RunBoardCheck checker arguments
  nsExec::ExecToStack /TIMEOUT=${CHECK_MILLISECONDS} '"${checker}" ${arguments}'
  Pop $0
  Pop $1
  ${If} $0 == timeout
    StrCpy $1 "board-check did not finish within ${CHECK_SECONDS} seconds and was stopped: a board DLL is read in well under a second, so this file is taken as one that does not fit."
  ${ElseIf} $0 == error
    StrCpy $1 "board-check could not be started."
  ${EndIf}
!macroend

; Runs board-check on a DLL: $0 is its exit status, $1 what it said.
!macro BoardCheck checker dll
  !insertmacro RunBoardCheck "${checker}" '"${dll}"'
!macroend

Function ExtractBoardCheck
  InitPluginsDir
  File "/oname=$PLUGINSDIR\board-check.exe" "${INST_DIR}\program\board-check.exe"
FunctionEnd

; Sets $Found and $FoundSaid from the DLL in $INSTDIR.
Function InspectFolder
  StrCpy $Found none
  StrCpy $FoundSaid ""
  ${IfNot} ${FileExists} "$INSTDIR\${BOARD_DLL}"
    Return
  ${EndIf}
  !insertmacro BoardCheck "$PLUGINSDIR\board-check.exe" "$INSTDIR\${BOARD_DLL}"
  StrCpy $FoundSaid $1
  ${If} $0 == ${CHECK_FITS_SIMULATED}
    StrCpy $Found simulated
  ${ElseIf} $0 == ${CHECK_FITS}
    StrCpy $Found fits
  ${Else}
    StrCpy $Found unfit
  ${EndIf}
FunctionEnd

; Checks $BoardDll; pushes "ok", having set $BoardChoice where the DLL is the
; one in the folder or our simulated board, or the reason.
Function CheckChosenDll
  ${If} $BoardDll == ""
    Push "Name the board maker's ${BOARD_DLL}."
    Return
  ${EndIf}
  GetFullPathName $BoardDll $BoardDll
  ${IfNot} ${FileExists} $BoardDll
    Push "There is no file $BoardDll."
    Return
  ${EndIf}
  !insertmacro BoardCheck "$PLUGINSDIR\board-check.exe" $BoardDll
  ${If} $0 == ${CHECK_FITS_SIMULATED}
    StrCpy $BoardChoice simulated
  ${ElseIf} $0 != ${CHECK_FITS}
    Push "The ${APP_NAME} cannot use this DLL:$\r$\n$\r$\n$1"
    Return
  ${EndIf}
  ${If} $BoardDll == "$INSTDIR\${BOARD_DLL}"
  ${AndIf} $BoardChoice == maker
    StrCpy $BoardChoice keep
  ${EndIf}
  Push ok
FunctionEnd

