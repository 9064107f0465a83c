; The command line of the installer and of the uninstaller, read as Windows
; programs and deployment tools write it: a switch may be quoted whole
; ("/BOARDDLL=C:\a b\x.dll"), in its value (/BOARDDLL="C:\a b\x.dll") or not
; at all (/BOARDDLL=C:\a b\x.dll, the value running to the next switch).
; Only the switches listed in switches.txt are known (/D= and _?= taken whole,
; to the line's end); anything else ends the run with EXIT_USAGE before
; anything is written, as does a command line too long for NSIS to have read
; whole. SWITCHES_INSTALLER and SWITCHES_UNINSTALLER, the usage messages, are
; made from that list.

!macro RefuseCommandLine WHAT SWITCHES
  MessageBox MB_OK|MB_ICONSTOP "${WHAT}$\r$\n$\r$\nThe switches are ${SWITCHES}." /SD IDOK
  SetErrorLevel ${EXIT_USAGE}
  Quit
!macroend

!macro DefineReadSwitches UN SWITCHES
; Takes one switch, $R5, with its quotes removed: a part of ReadSwitches,
; whose registers it shares.
Function ${UN}TakeSwitch
  ; Blanks around it are not part of it.
  ${Do}
    StrCpy $R7 $R5 1 -1
    ${IfThen} $R7 != " " ${|} ${ExitDo} ${|}
    StrCpy $R5 $R5 -1
  ${Loop}
  ${Do}
    StrCpy $R7 $R5 1
    ${IfThen} $R7 != " " ${|} ${ExitDo} ${|}
    StrCpy $R5 $R5 "" 1
  ${Loop}
  ${IfThen} $R5 == "" ${|} Return ${|}
  ; NSIS itself reads its switches only unquoted: a quoted /S is made silent
  ; here (SetSilent works in .onInit, which calls this); a quoted /NCRC, whose
  ; check has run before any code of ours, is refused.
  ${If} $R5 S== "/S"
    ${IfThen} $SwitchQuoted == 1 ${|} SetSilent silent ${|}
    Return
  ${EndIf}
  ${If} $R5 S== "/NCRC"
    ${If} $SwitchQuoted == 1
      !insertmacro RefuseCommandLine "/NCRC works only without quotes: $\"/NCRC$\"" "${SWITCHES}"
    ${EndIf}
    Return
  ${EndIf}
  StrCpy $R7 $R5 3
  !if "${UN}" == ""
    ${If} $R7 S== "/D="
      ; NSIS itself reads /D= only unquoted: quoted, it would install elsewhere.
      ${If} $SwitchQuoted == 1
        !insertmacro RefuseCommandLine "/D= takes its folder without quotes, blanks and all: $R5" "${SWITCHES}"
      ${EndIf}
      Return
    ${EndIf}
    StrCpy $R7 $R5 10
    ${If} $R7 == "/BOARDDLL="
      ${If} $BoardChoice == maker
        !insertmacro RefuseCommandLine "/BOARDDLL= is given twice; name one board DLL." "${SWITCHES}"
      ${EndIf}
      StrCpy $BoardDll $R5 "" 10
      StrCpy $BoardChoice maker
      Return
    ${EndIf}
  !else
    ${IfThen} $R7 S== "_?=" ${|} Return ${|}
  !endif
  !insertmacro RefuseCommandLine "Unknown switch or argument: $R5" "${SWITCHES}"
FunctionEnd

Function ${UN}ReadSwitches
  !insertmacro PushRegisters
  StrLen $R2 $CMDLINE
  ${If} $R2 >= ${NSIS_MAX_STRLEN_LESS_ONE}
    !insertmacro RefuseCommandLine "The command line is longer than the ${NSIS_MAX_STRLEN_LESS_ONE} characters this program reads." "${SWITCHES}"
  ${EndIf}
  ; The parameters: what follows the program's name, quoted or not.
  StrCpy $R1 0
  StrCpy $R3 $CMDLINE 1
  ${If} $R3 == '"'
    ${Do}
      IntOp $R1 $R1 + 1
      StrCpy $R3 $CMDLINE 1 $R1
      ${IfThen} $R3 == '"' ${|} ${ExitDo} ${|}
    ${LoopUntil} $R3 == ""
    IntOp $R1 $R1 + 1
  ${Else}
    ${Do}
      IntOp $R1 $R1 + 1
      StrCpy $R3 $CMDLINE 1 $R1
      ${IfThen} $R3 == " " ${|} ${ExitDo} ${|}
    ${LoopUntil} $R3 == ""
  ${EndIf}
  StrCpy $R0 $CMDLINE "" $R1
  StrLen $R2 $R0
  StrCpy $R1 0     ; where it reads
  StrCpy $R4 0     ; 1 between quotes
  StrCpy $R5 ""    ; the switch being read
  StrCpy $R6 " "   ; the character before
  StrCpy $R8 0     ; 1 once a switch takes the rest of the line
  StrCpy $SwitchQuoted 0
  ${DoWhile} $R1 < $R2
    StrCpy $R3 $R0 1 $R1
    IntOp $R9 $R1 + 1
    StrCpy $R9 $R0 1 $R9
    ; A switch starts after a blank, outside quotes, at "/" or at a quote before one.
    ${If} $R8 == 0
    ${AndIf} $R4 == 0
    ${AndIf} $R6 == " "
      ${If} $R3 == "/"
      ${OrIf} $R3$R9 == '"/'
      ${OrIf} $R3$R9 == "_?"
        Call ${UN}TakeSwitch
        StrCpy $R5 ""
        StrCpy $SwitchQuoted 0
      ${EndIf}
    ${EndIf}
    ${If} $R3 == '"'
      IntOp $R4 1 - $R4
      StrCpy $SwitchQuoted 1
    ${Else}
      StrCpy $R5 "$R5$R3"
    ${EndIf}
    StrCpy $R7 $R5 3
    ${If} $R7 S== "/D="
    ${OrIf} $R7 S== "_?="
      StrCpy $R8 1
    ${EndIf}
    StrCpy $R6 $R3
    IntOp $R1 $R1 + 1
  ${Loop}
  Call ${UN}TakeSwitch
  !if "${UN}" == ""
    Call CheckFolderSwitchLast
  !endif
  !insertmacro PopRegisters
FunctionEnd
!macroend

; $R0 to $R9, which ReadSwitches uses, saved and restored.
!macro PushRegisters
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  Push $R8
  Push $R9
!macroend
!macro PopRegisters
  Pop $R9
  Pop $R8
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
!macroend

; NSIS cuts an unquoted /D= and the rest of the line off $CMDLINE before any
; code of ours runs, and takes it all as the folder (dropping the "/" of any
; switch in it): a switch after /D= would end up in the folder's name. The
; command line as Windows holds it still shows it; no folder name has " /".
Function CheckFolderSwitchLast
  Push $0
  Push $1
  Push $2
  Push $R7
  System::Call 'kernel32::GetCommandLine() t .r0'
  StrLen $2 $0
  StrCpy $1 0
  ${Do}
    ${IfThen} $1 >= $2 ${|} ${ExitDo} ${|}
    StrCpy $R7 $0 4 $1
    ${If} $R7 S== " /D="
      StrCpy $FolderGiven 1
      ${Do}
        IntOp $1 $1 + 1
        StrCpy $R7 $0 2 $1
        ${If} $R7 == " /"
          StrCpy $R7 $0 "" $1
          !insertmacro RefuseCommandLine "/D= comes last, after every other switch:$R7" "${SWITCHES_INSTALLER}"
        ${EndIf}
      ${LoopUntil} $1 >= $2
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  Pop $R7
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

!define /math NSIS_MAX_STRLEN_LESS_ONE ${NSIS_MAX_STRLEN} - 1
!insertmacro DefineReadSwitches "" "${SWITCHES_INSTALLER}"
!insertmacro DefineReadSwitches "un." "${SWITCHES_UNINSTALLER}"
