; The Windows installer, made by makensis from the folder the zip is packed from
; (packaging/windows/CMakeLists.txt passes VERSION, VERSION_MAJOR, VERSION_MINOR, STAGE, ICON, OUTFILE).
;
; - For the current user by default, without administrator rights, under %LOCALAPPDATA%\Programs\Korvo.
; - For all users with /ALLUSERS on the command line (run as administrator), under Program Files.
; - /S installs silently; /D=folder (last on the command line) chooses another folder.
; - Beside korvo.exe it leaves korvo.installed: the program then keeps its settings in
;   %APPDATA%\korvo, never in its own folder, so that the uninstaller (which removes the program,
;   the mark and the shortcut) never takes the user's settings with it.
; A 64-bit installer for the 64-bit program (and the only kind a 64-bit-only Wine runs).
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Korvo"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvo"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION_MAJOR}.${VERSION_MINOR}.0.0"
VIFileVersion "${VERSION_MAJOR}.${VERSION_MINOR}.0.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=0 "LegalCopyright" "The Korvo developers (MIT License)"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\korvo.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Var AllUsers

Function .onInit
    StrCpy $AllUsers 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ALLUSERS" $1
    ${IfNot} ${Errors}
        UserInfo::GetAccountType
        Pop $1
        ${If} $1 != "Admin"
            MessageBox MB_ICONSTOP "すべてのユーザー用にインストールするには、管理者として実行してください。" /SD IDOK
            SetErrorLevel 740
            Quit
        ${EndIf}
        StrCpy $AllUsers 1
        SetShellVarContext all
        StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
FunctionEnd

Section "Korvo"
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    ; The mark that tells the program it is installed (an empty file).
    FileOpen $0 "$INSTDIR\korvo.installed" w
    FileClose $0
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\korvo.exe" "" "$INSTDIR\korvo.exe" 0

    ${If} $AllUsers == 1
        SetRegView 64
        WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvo.exe"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
        WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /ALLUSERS'
        WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /ALLUSERS /S'
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${Else}
        WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
        WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
        WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvo.exe"
        WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
        WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
        WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
        WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
        WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${EndIf}
SectionEnd

Function un.onInit
    StrCpy $AllUsers 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ALLUSERS" $1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
        SetShellVarContext all
    ${EndIf}
FunctionEnd

; Removes what the installer put there, by name, and the folder only when nothing else is left in
; it. The settings in %APPDATA%\korvo are the user's and stay.
Section "Uninstall"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\korvo.exe"
    Delete "$INSTDIR\korvo.installed"
    Delete "$INSTDIR\*.dll"
    Delete "$INSTDIR\qt.conf"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\LICENSE"
    Delete "$INSTDIR\libsndfile-COPYING.txt"
    Delete "$INSTDIR\libogg-COPYING.txt"
    Delete "$INSTDIR\libvorbis-COPYING.txt"
    Delete "$INSTDIR\flac-COPYING.txt"
    Delete "$INSTDIR\opus-COPYING.txt"
    Delete "$INSTDIR\mpg123-COPYING.txt"
    Delete "$INSTDIR\lame-COPYING.txt"
    Delete "$INSTDIR\kissfft-COPYING.txt"
    ; Earlier builds shipped SoundTouch and its licence; an install over one of them leaves the text
    ; behind (the DLL goes with *.dll above).
    Delete "$INSTDIR\soundtouch-COPYING.txt"
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    RMDir /r "$INSTDIR\translations"
    RMDir /r "$INSTDIR\fonts"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ${If} $AllUsers == 1
        SetRegView 64
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${Else}
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
SectionEnd
