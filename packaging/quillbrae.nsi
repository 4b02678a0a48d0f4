; The Windows installer: per user, no administrator, silent with /S, into
; %LOCALAPPDATA%\Programs\Quillbrae unless /D= says otherwise. Built by
; scripts/package, which hands over (makensis -D...):
;   VERSION        the project's version, major.minor.patch
;   WIDGET_EXE     the widget's executable
;   README_TXT     the README as text
;   ICON           the widget's icon
;   OUTFILE        the installer to write
;   WINDOW_CLASS, RUN_KEY, RUN_VALUE, UNINSTALL_KEY
;                  names the widget uses too, read from base/Names.h
; The user's settings live in %APPDATA%\Quillbrae and are never touched:
; an upgrade keeps them, and so does the uninstaller.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

Name "Quillbrae"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$LOCALAPPDATA\Programs\Quillbrae"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Quillbrae"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Quillbrae installer"
VIAddVersionKey /LANG=1033 "CompanyName" "Quillbrae"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Quillbrae developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Asks every widget that runs from the install folder to close, as its
; own Exit would (WM_CLOSE: it saves its settings), and waits for each to
; end, so that no file is replaced or removed under a running widget. A
; widget run from anywhere else is left alone. At most 16 rounds, so that
; a widget that will not close cannot hold the installer forever.
!macro CloseInstalledWidget
  StrCpy $R8 0
  StrCpy $R9 0
  ${Do}
    FindWindow $R0 "${WINDOW_CLASS}" "" 0 $R9
    ${If} $R0 == 0
    ${OrIf} $R8 >= 16
      ${Break}
    ${EndIf}
    StrCpy $R9 $R0
    IntOp $R8 $R8 + 1
    System::Call 'user32::GetWindowThreadProcessId(p $R0, *i .r1) i'
    ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
    System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i r1) p .r2'
    ${If} $2 P<> 0
      StrCpy $3 ""
      System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r3, *i ${NSIS_MAX_STRLEN}) i .r4'
      ${If} $3 == "$INSTDIR\quillbrae.exe"
        DetailPrint "Closing the running widget (it saves its settings)"
        SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=10000
        System::Call 'kernel32::WaitForSingleObject(p r2, i 20000) i'
        ; The window list changed: look again from the start.
        StrCpy $R9 0
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2) i'
    ${EndIf}
  ${Loop}
!macroend

Section "Quillbrae"
  SetShellVarContext current
  !insertmacro CloseInstalledWidget

  SetOutPath "$INSTDIR"
  File "/oname=quillbrae.exe" "${WIDGET_EXE}"
  File "/oname=README.txt" "${README_TXT}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Quillbrae.lnk" "$INSTDIR\quillbrae.exe" "" "$INSTDIR\quillbrae.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quillbrae"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quillbrae developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillbrae.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  !insertmacro CloseInstalledWidget

  ; "Start with Windows" of this copy; a value that starts another copy stays.
  ReadRegStr $0 HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == '"$INSTDIR\quillbrae.exe"'
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}

  Delete "$INSTDIR\quillbrae.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Quillbrae.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  DetailPrint "Your settings were kept in $APPDATA\Quillbrae."
  MessageBox MB_OK|MB_ICONINFORMATION "Quillbrae was removed.$\r$\n$\r$\nYour settings were kept in $APPDATA\Quillbrae; delete that folder to remove them too." /SD IDOK
SectionEnd
