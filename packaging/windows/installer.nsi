; The Kestrion installer, for 64-bit Windows. scripts/package runs makensis with
;   -DVERSION=MAJOR.MINOR.PATCH   the project version
;   -DSTAGE=FOLDER                the files to install (the Windows build, installed)
;   -DFILE_LIST=FILE              a KestrionFiles macro naming each of those files
;   -DICON=FILE                   the program's icon
;   -DOUTFILE=FILE                the installer to write
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include "${FILE_LIST}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrion"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SAVER "Kestrion.scr"
!define UNINSTALLER "uninstall.exe"
!define HOLDER "Kestrion developers"
!searchparse "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "." VERSION_PATCH

Name "Kestrion ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kestrion"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" InstallLocation
RequestExecutionLevel admin
BrandingText "Kestrion ${VERSION}"

VIProductVersion "${VERSION_MAJOR}.${VERSION_MINOR}.${VERSION_PATCH}.0"
VIFileVersion "${VERSION_MAJOR}.${VERSION_MINOR}.${VERSION_PATCH}.0"
VIAddVersionKey /LANG=1033 ProductName "Kestrion"
VIAddVersionKey /LANG=1033 ProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 FileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 FileDescription "Kestrion ${VERSION} Setup"
VIAddVersionKey /LANG=1033 CompanyName "${HOLDER}"
VIAddVersionKey /LANG=1033 LegalCopyright "Copyright (c) 2026 ${HOLDER}, MIT License"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!macro InstallFile NAME
  File "${STAGE}/${NAME}"
!macroend
!macro RemoveFile NAME
  Delete "$INSTDIR\${NAME}"
!macroend

Section "Kestrion screen saver" SectionProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  !insertmacro KestrionFiles InstallFile
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "Kestrion"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "${HOLDER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\${SAVER},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0
SectionEnd

; As Windows' own Install does: the saver's path, in its short form where the
; file system has one, for the installing user.
Section "Make Kestrion my screen saver" SectionCurrent
  ClearErrors
  GetFullPathName /SHORT $0 "$INSTDIR\${SAVER}"
  ${If} $0 == ""
    StrCpy $0 "$INSTDIR\${SAVER}"
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE $0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} "The screen saver with its races and effects."
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionCurrent} "Set Kestrion as the screen saver of this user."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; SCRNSAVE.EXE goes back to no screen saver only while it still names the saver
; being removed, in its long or short form; another choice of the user stays.
Function un.ResetScreenSaver
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE
  ${If} $0 == ""
    Return
  ${EndIf}
  StrCpy $1 "$INSTDIR\${SAVER}"
  ClearErrors
  GetFullPathName /SHORT $2 $0
  GetFullPathName /SHORT $3 $1
  ${If} $3 == ""
    StrCpy $3 $1
  ${EndIf}
  ${If} $0 == $1
  ${OrIf} $0 == $3
  ${OrIf} $2 == $3
    DeleteRegValue HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE
  ${EndIf}
FunctionEnd

; Removes what the installer put there; the user's settings
; (Software\Quorvane\Kestrion) and files of the user's own in the folder stay.
Section Uninstall
  Call un.ResetScreenSaver
  !insertmacro KestrionFiles RemoveFile
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
