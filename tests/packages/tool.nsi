; A real setup program for the end-to-end runs: with /S it writes its version to the registry
; and ends with the exit code given as /CODE=n (0 when absent).
Unicode true
Target amd64-unicode
Name "Orvanta E2E Tool"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent

!include "FileFunc.nsh"

Section
  WriteRegStr HKCU "Software\OrvantaE2E\Tool" "Version" "4.2.0"
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CODE=" $1
  IfErrors 0 +2
    StrCpy $1 0
  SetErrorLevel $1
SectionEnd
