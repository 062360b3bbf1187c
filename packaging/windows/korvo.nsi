; The Windows installer, made by makensis from the folder the zip is packed from
; (packaging/windows/CMakeLists.txt passes VERSION, VERSION_MAJOR, VERSION_MINOR, PUBLISHER, COPYRIGHT,
; STAGE, ICON, OUTFILE).
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

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\korvo.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; English, or Japanese where Windows' display language is Japanese, like the program itself: the
; installer takes the system's language when it has it, and the first one otherwise.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString AdminNeeded ${LANG_ENGLISH} "To install for all users, run the installer as administrator."
LangString AdminNeeded ${LANG_JAPANESE} "すべてのユーザー用にインストールするには、管理者として実行してください。"

; The installer's own properties, in both languages.
VIProductVersion "${VERSION_MAJOR}.${VERSION_MINOR}.0.0"
VIFileVersion "${VERSION_MAJOR}.${VERSION_MINOR}.0.0"
!macro VersionKeys LANG
    VIAddVersionKey /LANG=${LANG} "ProductName" "${PRODUCT}"
    VIAddVersionKey /LANG=${LANG} "CompanyName" "${PUBLISHER}"
    VIAddVersionKey /LANG=${LANG} "ProductVersion" "${VERSION}"
    VIAddVersionKey /LANG=${LANG} "FileVersion" "${VERSION}"
    VIAddVersionKey /LANG=${LANG} "FileDescription" "${PRODUCT} ${VERSION} Setup"
    VIAddVersionKey /LANG=${LANG} "LegalCopyright" "${COPYRIGHT} (MIT License)"
!macroend
!insertmacro VersionKeys ${LANG_ENGLISH}
!insertmacro VersionKeys ${LANG_JAPANESE}

Var UninstallOptions ; " /ALLUSERS" for an install for all users, which the uninstaller must be told

Function .onInit
    StrCpy $UninstallOptions ""
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ALLUSERS" $1
    ${IfNot} ${Errors}
        UserInfo::GetAccountType
        Pop $1
        ${If} $1 != "Admin"
            MessageBox MB_ICONSTOP "$(AdminNeeded)" /SD IDOK
            SetErrorLevel 740
            Quit
        ${EndIf}
        StrCpy $UninstallOptions " /ALLUSERS"
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

    ; The entry in Settings → Apps: under HKLM for all users, HKCU for one (SHCTX follows
    ; SetShellVarContext), in the 64-bit view, where a 64-bit program's entry belongs. The size is
    ; what the folder holds now, in KB, as Windows expects it.
    SetRegView 64
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvo.exe,0"
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"$UninstallOptions'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe"$UninstallOptions /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ALLUSERS" $1
    ${IfNot} ${Errors}
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
    Delete "$INSTDIR\LICENSE.txt"
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
    ; and the licence under its name before it became LICENSE.txt.
    Delete "$INSTDIR\LICENSE"
    RMDir /r "$INSTDIR\platforms"
    RMDir /r "$INSTDIR\styles"
    RMDir /r "$INSTDIR\translations"
    RMDir /r "$INSTDIR\fonts"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    SetRegView 64
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
