; The Windows setup of Kovrix: the desktop tool, kovrix-cli, kovrix-server and kovrix-sim with the
; Qt runtime they need. Per machine into Program Files when the user may (an administrator), else
; per user into the user's own programs folder. The uninstaller removes exactly what was installed
; and leaves the user's Kovrix folder (fpinit.ini, session logs, saved files) alone.
;
; makensis -DVERSION=x.y -DICON=kovrix.ico -DFILES=f.nsh -DUNFILES=u.nsh -DUNDIRS=d.nsh -DOUTFILE=setup.exe kovrix.nsi
; FILES holds the "File" lines of the staged install tree, UNFILES the matching "Delete" lines and
; UNDIRS the "RMDir" lines of its folders, deepest first: the build writes all three from the one
; tree, so the setup and its uninstaller name the same files.

; A 64-bit setup for 64-bit programs: it needs no 32-bit layer and sees the system's own registry
; and Program Files.
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "Kovrix"
!define PUBLISHER "Kovrix developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kovrix"
!define SHORTCUT "$SMPROGRAMS\Kovrix.lnk"
!define SIMULATED_SHORTCUT "$SMPROGRAMS\Kovrix (simulated registrator).lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"

; Per machine for an administrator, per user otherwise; /AllUsers or /CurrentUser choose on the
; command line. The uninstaller finds the choice in the registry.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Kovrix"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh
!include FileFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\kovrix.exe"
!define MUI_FINISHPAGE_RUN_PARAMETERS "--user-folder"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "Ukrainian"
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "2026 ${PUBLISHER}"

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Kovrix" SectionMain
  SectionIn RO
  SetOutPath "$INSTDIR"
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The Start menu entries start the tool in the user's own Kovrix folder (Documents\Kovrix), where
  ; fpinit.ini and the session log may be written whoever installed it.
  CreateShortcut "${SHORTCUT}" "$INSTDIR\kovrix.exe" "--user-folder" "$INSTDIR\kovrix.exe" 0
  CreateShortcut "${SIMULATED_SHORTCUT}" "$INSTDIR\kovrix.exe" "--simulate --user-folder" "$INSTDIR\kovrix.exe" 0

  ; The system's list of installed programs.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kovrix.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  Delete "${SHORTCUT}"
  Delete "${SIMULATED_SHORTCUT}"
  !include "${UNFILES}"
  Delete "$INSTDIR\uninstall.exe"
  ; Only the folders the setup made, and only when nothing else is left in them.
  !include "${UNDIRS}"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
