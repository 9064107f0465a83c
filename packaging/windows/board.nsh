; The board library under the installed program: the maker's DLL that the
; operator names, the board DLL already in the folder, or the simulated board.
; Every DLL is read by board-check (board/check) before anything is written,
; and a board DLL that is not our simulated board is never overwritten or
; deleted: an upgrade keeps it, and one that is replaced stays in the folder
; as Orvane_boardcontrol_api.previous.dll.

!define BOARD_DLL "Orvane_boardcontrol_api.dll"
!define EXIT_WINDOWS_REFUSED 3
!define EXIT_BOARD_REFUSED 4
; board-check's exit status
!define CHECK_FITS 0
!define CHECK_FITS_SIMULATED 4

Var BoardChoice   ; maker, keep or simulated
Var BoardDll      ; the maker's DLL to copy, for "maker"
Var Found         ; in the folder: none, simulated, fits or unfit
Var FoundSaid     ; what board-check said of it
Var MovedAside    ; where a replaced board DLL was kept
Var BoardText     ; what the finish page says

; Runs board-check on a DLL: $0 is its exit status, $1 what it said.
!macro BoardCheck checker dll
  nsExec::ExecToStack '"${checker}" "${dll}"'
  Pop $0
  Pop $1
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

; A silent run: /BOARDDLL=<path> or, without it, the board DLL in the folder,
; else the simulated board. A DLL that does not fit ends the run, with
; nothing written.
Function DecideSilently
  Call InspectFolder
  ${If} $BoardChoice == maker
    Call CheckChosenDll
    Pop $0
    ${If} $0 != ok
      SetErrorLevel ${EXIT_BOARD_REFUSED}
      Quit
    ${EndIf}
  ${ElseIf} $Found == fits
    StrCpy $BoardChoice keep
  ${ElseIf} $Found == unfit
    ; The operator's DLL stays, and no program is installed that cannot call it.
    SetErrorLevel ${EXIT_BOARD_REFUSED}
    Quit
  ${Else}
    StrCpy $BoardChoice simulated
  ${EndIf}
FunctionEnd

; The page: three choices in plain words.
Var RadioMaker
Var RadioKeep
Var RadioSimulated
Var FileField

Function BoardPage
  Call InspectFolder
  !insertmacro MUI_HEADER_TEXT "Board library" "Choose the board library the program uses."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 20u "The ${APP_NAME} reaches the board through the board maker's ${BOARD_DLL}."
  Pop $0
  ${NSD_CreateRadioButton} 0 22u 100% 12u "the board maker's DLL:"
  Pop $RadioMaker
  ${NSD_AddStyle} $RadioMaker ${WS_GROUP}
  ${NSD_CreateText} 12u 36u 222u 13u $BoardDll
  Pop $FileField
  ${NSD_OnChange} $FileField ChooseMakerDll
  ${NSD_CreateBrowseButton} 240u 35u 60u 15u "Browse..."
  Pop $0
  ${NSD_OnClick} $0 BrowseForDll
  StrCpy $RadioKeep ""
  ${If} $Found == fits
    ${NSD_CreateRadioButton} 0 56u 100% 12u "keep the board library already installed"
    Pop $RadioKeep
  ${ElseIf} $Found == unfit
    ${NSD_CreateLabel} 12u 56u 288u 36u "The board library in the folder does not fit this program; choosing another keeps it as Orvane_boardcontrol_api.previous.dll. $FoundSaid"
    Pop $0
  ${EndIf}
  ; Below the choice or the notice about the DLL in the folder.
  StrCpy $0 74u
  ${If} $Found == unfit
    StrCpy $0 96u
  ${EndIf}
  ${NSD_CreateRadioButton} 0 $0 100% 12u "the simulated board, to try the program without a board"
  Pop $RadioSimulated
  ${If} $BoardChoice == maker
    ${NSD_Check} $RadioMaker
  ${ElseIf} $Found == fits
    ${NSD_Check} $RadioKeep
  ${ElseIf} $Found == unfit
    ${NSD_Check} $RadioMaker
  ${Else}
    ${NSD_Check} $RadioSimulated
  ${EndIf}
  nsDialogs::Show
FunctionEnd

; Naming a file chooses the maker's DLL.
Function ChooseMakerDll
  Pop $0
  ${NSD_Check} $RadioMaker
  ${NSD_Uncheck} $RadioSimulated
  ${If} $RadioKeep != ""
    ${NSD_Uncheck} $RadioKeep
  ${EndIf}
FunctionEnd

Function BrowseForDll
  Pop $0
  ${NSD_GetText} $FileField $1
  nsDialogs::SelectFileDialog open $1 "Board library (${BOARD_DLL})|${BOARD_DLL}|DLL files (*.dll)|*.dll"
  Pop $1
  ${If} $1 != ""
    ${NSD_SetText} $FileField $1 ; which chooses the maker's DLL
  ${EndIf}
FunctionEnd

Function BoardPageLeave
  ${NSD_GetState} $RadioMaker $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $BoardChoice maker
    ${NSD_GetText} $FileField $BoardDll
    Call CheckChosenDll
    Pop $0
    ${If} $0 != ok
      MessageBox MB_OK|MB_ICONSTOP $0
      Abort
    ${EndIf}
    Return
  ${EndIf}
  ${If} $RadioKeep != ""
    ${NSD_GetState} $RadioKeep $0
    ${If} $0 == ${BST_CHECKED}
      StrCpy $BoardChoice keep
      Return
    ${EndIf}
  ${EndIf}
  StrCpy $BoardChoice simulated
FunctionEnd

; Keeps a board DLL that is about to be replaced beside the new one.
Function MoveAsideBoardDll
  StrCpy $MovedAside "$INSTDIR\Orvane_boardcontrol_api.previous.dll"
  StrCpy $R8 1
  ${While} ${FileExists} $MovedAside
    IntOp $R8 $R8 + 1
    StrCpy $MovedAside "$INSTDIR\Orvane_boardcontrol_api.previous-$R8.dll"
  ${EndWhile}
  Rename "$INSTDIR\${BOARD_DLL}" $MovedAside
FunctionEnd

; Runs the previous version's uninstaller, keeping its board DLL in place
; whatever that uninstaller does with it (older ones deleted it).
Function RemovePreviousVersion
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "UninstallString"
  StrCpy $R1 $R0 1
  ${If} $R1 == '"'
    StrCpy $R0 $R0 -1 1
  ${EndIf}
  ${If} $R0 == ""
  ${OrIfNot} ${FileExists} $R0
    Return
  ${EndIf}
  ${GetParent} $R0 $R1
  StrCpy $R2 ""
  ${If} ${FileExists} "$R1\${BOARD_DLL}"
    !insertmacro BoardCheck "$PLUGINSDIR\board-check.exe" "$R1\${BOARD_DLL}"
    ${If} $0 != ${CHECK_FITS_SIMULATED}
      StrCpy $R2 "$PLUGINSDIR\kept-board.dll"
      CopyFiles /SILENT "$R1\${BOARD_DLL}" $R2
    ${EndIf}
  ${EndIf}
  DetailPrint "Removing the previous version from $R1"
  ExecWait '"$R0" /S _?=$R1'
  Delete $R0
  ${If} $R2 != ""
  ${AndIfNot} ${FileExists} "$R1\${BOARD_DLL}"
    CopyFiles /SILENT $R2 "$R1\${BOARD_DLL}"
  ${EndIf}
  RMDir $R1
FunctionEnd

; Puts the chosen board library in place and sets $BoardText.
Function InstallBoardLibrary
  StrCpy $MovedAside ""
  ${If} $BoardChoice != keep
  ${AndIf} $Found != none
  ${AndIf} $Found != simulated
    Call MoveAsideBoardDll
  ${EndIf}
  ${If} $BoardChoice == maker
    CopyFiles /SILENT $BoardDll "$INSTDIR\${BOARD_DLL}"
    ${IfNot} ${FileExists} "$INSTDIR\${BOARD_DLL}"
      Abort "Could not copy $BoardDll to $INSTDIR."
    ${EndIf}
    StrCpy $BoardText "The program uses the board maker's DLL, copied from $BoardDll."
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
