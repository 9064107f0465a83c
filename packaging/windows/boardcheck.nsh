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
  Push $0
  Push $1
  !insertmacro BoardCheck "$PLUGINSDIR\board-check.exe" "$INSTDIR\${BOARD_DLL}"
  StrCpy $FoundSaid $1
  ${If} $0 == ${CHECK_FITS_SIMULATED}
    StrCpy $Found simulated
  ${ElseIf} $0 == ${CHECK_FITS}
    StrCpy $Found fits
  ${Else}
    StrCpy $Found unfit
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; Checks $BoardDll; pushes "ok", having set $BoardChoice where the DLL is the
; one in the folder or our simulated board, or the reason.
Function CheckChosenDll
  Push $0
  Push $1
  Push $2 ; the answer
  ${If} $BoardDll == ""
    StrCpy $2 "Name the board maker's ${BOARD_DLL}."
    Goto answer
  ${EndIf}
  GetFullPathName $BoardDll $BoardDll
  ${IfNot} ${FileExists} $BoardDll
    StrCpy $2 "There is no file $BoardDll."
    Goto answer
  ${EndIf}
  !insertmacro BoardCheck "$PLUGINSDIR\board-check.exe" $BoardDll
  StrCpy $2 ok
  ${If} $0 == ${CHECK_FITS_SIMULATED}
    StrCpy $BoardChoice simulated
  ${ElseIf} $0 != ${CHECK_FITS}
    StrCpy $2 "The ${APP_NAME} cannot use this DLL:$\r$\n$\r$\n$1"
  ${ElseIf} $BoardDll == "$INSTDIR\${BOARD_DLL}"
  ${AndIf} $BoardChoice == maker
    StrCpy $BoardChoice keep
  ${EndIf}
answer:
  ; The answer on the stack, each register as it was.
  Exch $2
  Exch 2
  Pop $0
  Pop $1
FunctionEnd

