; The Windows installer of Ombrix, built by makensis (cmake/OmbrixWindowsPackage.cmake
; passes VERSION, STAGE, the folder of the files to install, and OUTFILE).
;
;   the VST3 plug-in       %CommonProgramFiles%\VST3\Ombrix.vst3
;   ombrix.exe, the Standalone application and the uninstaller
;                          %ProgramFiles%\Kestrune\Ombrix
;
; "/S" installs and uninstalls silently. The uninstaller removes exactly what
; the installer put there; the user's targets, presets and settings in
; %LOCALAPPDATA%\Ombrix and %LOCALAPPDATA%\Kestrune stay.
; A 64-bit installer: Ombrix runs on 64-bit Windows only.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Ombrix"
!define PUBLISHER "Kestrune"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrune Ombrix"
!define BUNDLE "$COMMONFILES64\VST3\Ombrix.vst3"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kestrune\Ombrix"
BrandingText "${PUBLISHER} ${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "GNU General Public License v3"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\ombrix-standalone.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start the ${PRODUCT} Standalone application"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "${PRODUCT}"
  SetOutPath "$INSTDIR"
  File "${STAGE}\ombrix.exe"
  File "${STAGE}\ombrix-standalone.exe"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "${BUNDLE}\Contents\x86_64-win"
  File "${STAGE}\Ombrix.vst3\Contents\x86_64-win\Ombrix.vst3"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\ombrix-standalone.exe"

  ; "Apps & features": name, publisher, version, size, how to uninstall.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  ${GetSize} "${BUNDLE}" "/S=0K" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "https://kestrune.com"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ombrix-standalone.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "${BUNDLE}\Contents\x86_64-win\Ombrix.vst3"
  RMDir "${BUNDLE}\Contents\x86_64-win"
  RMDir "${BUNDLE}\Contents"
  RMDir "${BUNDLE}"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\ombrix.exe"
  Delete "$INSTDIR\ombrix-standalone.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\Kestrune"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
