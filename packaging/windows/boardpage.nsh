; The board page, and the same choice made without it in a silent run: the
; maker's DLL the operator names (/BOARDDLL= or the page's file field), the
; board DLL already in the folder, or the simulated board.

; A silent run: /BOARDDLL=<path> or, without it, the board DLL in the folder,
; else the simulated board. A DLL that does not fit ends the run, with
; nothing written.
Function DecideSilently
  Call InspectFolder
  ${If} $BoardChoice == maker
    Call CheckChosenDll
    Exch $0
    ${If} $0 != ok
      SetErrorLevel ${EXIT_BOARD_REFUSED}
      Quit
    ${EndIf}
    Pop $0
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
Function BoardPage
  Push $0
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
    ${NSD_CreateLabel} 12u 56u 288u 36u "The board library in the folder does not fit this program; choosing another keeps it as ${BOARD_LIBRARY_NAME}.previous.dll. $FoundSaid"
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
  Pop $0
FunctionEnd

; Naming a file chooses the maker's DLL.
; A control's callback: the control is on the stack.
Function ChooseMakerDll
  Exch $0
  ${NSD_Check} $RadioMaker
  ${NSD_Uncheck} $RadioSimulated
  ${If} $RadioKeep != ""
    ${NSD_Uncheck} $RadioKeep
  ${EndIf}
  Pop $0
FunctionEnd

Function BrowseForDll
  Exch $0
  Push $1
  ${NSD_GetText} $FileField $1
  nsDialogs::SelectFileDialog open $1 "Board library (${BOARD_DLL})|${BOARD_DLL}|DLL files (*.dll)|*.dll"
  Pop $1
  ${If} $1 != ""
    ${NSD_SetText} $FileField $1 ; which chooses the maker's DLL
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

Function BoardPageLeave
  Push $0
  ${NSD_GetState} $RadioMaker $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $BoardChoice maker
    ${NSD_GetText} $FileField $BoardDll
    Call CheckChosenDll
    Exch $0
    ${If} $0 != ok
      MessageBox MB_OK|MB_ICONSTOP $0
      Pop $0
      Pop $0
      Abort ; the page stays
    ${EndIf}
    Pop $0
  ${Else}
    StrCpy $BoardChoice simulated
    ${If} $RadioKeep != ""
      ${NSD_GetState} $RadioKeep $0
      ${IfThen} $0 == ${BST_CHECKED} ${|} StrCpy $BoardChoice keep ${|}
    ${EndIf}
  ${EndIf}
  Pop $0
FunctionEnd

