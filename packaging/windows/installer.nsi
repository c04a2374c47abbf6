; The Windows installer: a per-user install that needs no administrator rights.
; Made by scripts/windows-package.sh, which defines VERSION, SRCDIR (the laid-out folder),
; OUTFILE, ICON, UNINSTALL_LIST (Delete lines for what SRCDIR holds) and SIZE_KB.
Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"

!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Virelan2"

Name "Вирелан 2 ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Virelan2"
InstallDirRegKey HKCU "${UNINSTKEY}" "InstallLocation"
BrandingText "Virelan2 ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "Virelan2"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Virelan2 ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "Virelan2 developers"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "Virelan2 developers"

; The working folder of every shortcut: "log.txt" is kept in the program's working folder, and
; the file dialogs open there first.  Visible, writable, and the user's own.
!define WORKDIR "$DOCUMENTS\Virelan2"

Section "Вирелан 2" SecProgram
    SectionIn RO
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File /r "${SRCDIR}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "${WORKDIR}"
    CreateDirectory "$SMPROGRAMS\Virelan2"
    ; A shortcut's working folder is the output path in force when it is made.
    SetOutPath "${WORKDIR}"
    CreateShortcut "$SMPROGRAMS\Virelan2\Вирелан 2.lnk" "$INSTDIR\virelan2.exe" "" "$INSTDIR\virelan2.exe" 0
    ; The command line: a console in the working folder whose PATH has the program folder first.
    ; Only that window's PATH: the user's own is left as it is.
    CreateShortcut "$SMPROGRAMS\Virelan2\Командная строка Virelan2.lnk" "$SYSDIR\cmd.exe" \
        '/k set "PATH=$INSTDIR;%PATH%" && virelan2-cli --version' "$INSTDIR\virelan2-cli.exe" 0
    SetOutPath "$INSTDIR"

    WriteRegStr HKCU "${UNINSTKEY}" "DisplayName" "Вирелан 2"
    WriteRegStr HKCU "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTKEY}" "Publisher" "Virelan2 developers"
    WriteRegStr HKCU "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\virelan2.exe,0"
    WriteRegStr HKCU "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTKEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTKEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTKEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Ярлык на рабочем столе" SecDesktop
    SetShellVarContext current
    SetOutPath "${WORKDIR}"
    CreateShortcut "$DESKTOP\Вирелан 2.lnk" "$INSTDIR\virelan2.exe" "" "$INSTDIR\virelan2.exe" 0
    SetOutPath "$INSTDIR"
SectionEnd

Function RunProgram
    SetOutPath "${WORKDIR}"
    Exec '"$INSTDIR\virelan2.exe"'
FunctionEnd

; What the installer put there, and nothing else: the working folder with "log.txt" and the
; user's settings and sound files stays.
Section "Uninstall"
    SetShellVarContext current
    !include "${UNINSTALL_LIST}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Virelan2\Вирелан 2.lnk"
    Delete "$SMPROGRAMS\Virelan2\Командная строка Virelan2.lnk"
    RMDir "$SMPROGRAMS\Virelan2"
    Delete "$DESKTOP\Вирелан 2.lnk"
    DeleteRegKey HKCU "${UNINSTKEY}"
SectionEnd
