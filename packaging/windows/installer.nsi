; The Kestrion installer, for 64-bit Windows. scripts/package runs makensis with
;   -DVERSION=MAJOR.MINOR.PATCH   the project version
;   -DSTAGE=FOLDER                the files to install (the Windows build, installed)
;   -DFILE_LIST=FILE              a KestrionFiles macro naming each of those files
;   -DICON=FILE                   the program's icon
;   -DOUTFILE=FILE                the installer to write
; and, for a test build standing in for an earlier version,
;   -DEXTRA_FILE=NAME             one file more, NAME (a copy of README.txt)
;
; It installs for the user who runs it (no administrator needed, the user's own
; Programs folder, the uninstall entry under HKCU) or for all users (Program
; Files, elevated, the entry under HKLM): NSIS's MultiUser header makes the
; choice, on its page or with /CurrentUser or /AllUsers on the command line.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrion"

; Elevated only when the account can be: an administrator gets the choice
; (all users by default), a standard user installs for themselves. An earlier
; installation's mode and folder are the defaults.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Kestrion"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME InstallLocation
!define MULTIUSER_INSTALLMODE_FUNCTION EarlierFolder
!define MULTIUSER_INSTALLMODEPAGE_SHOWUSERNAME
!define MULTIUSER_INSTALLMODEPAGE_TEXT_TOP "For all users puts Kestrion into Program Files for every account of this computer.$\r$\n$\r$\nOnly for me needs no administrator: Kestrion goes into your own Programs folder.$\r$\n$\r$\nThe screen saver this installer can set is that of the account it runs as."
!define MULTIUSER_INIT_TEXT_ALLUSERSNOTPOSSIBLE "Installing or removing Kestrion for all users of this computer needs an administrator. Run this program again as administrator (right-click it, Run as administrator)."
!define MULTIUSER_INSTALLMODEPAGE_TEXT_ALLUSERS "For all users"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_CURRENTUSER "Only for me"
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include "${FILE_LIST}"

!define DESKTOP_KEY "Control Panel\Desktop"
!define SAVER "Kestrion.scr"
!define UNINSTALLER "uninstall.exe"
!define HOLDER "Kestrion developers"
!searchparse "${VERSION}" "" VERSION_MAJOR "." VERSION_MINOR "." VERSION_PATCH

Name "Kestrion ${VERSION}"
OutFile "${OUTFILE}"
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
!insertmacro MULTIUSER_PAGE_INSTALLMODE
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

; 1 when removing the earlier installation took Kestrion away as the user's
; screen saver: this one then takes its place.
Var SaverWasKestrion

; The mode's earlier installation folder, when there is one, as the default.
Function EarlierFolder
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" InstallLocation
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Function .onInit
  ; A folder given with /D= stays the folder.
  StrCpy $R9 $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${If} $R9 != ""
    StrCpy $INSTDIR $R9
  ${EndIf}
FunctionEnd

; The installing user's screen saver, as Windows' own Install sets it: the
; saver's path, in its short form where the file system has one.
Function SetScreenSaver
  ClearErrors
  GetFullPathName /SHORT $0 "$INSTDIR\${SAVER}"
  ${If} $0 == ""
    StrCpy $0 "$INSTDIR\${SAVER}"
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE $0
FunctionEnd

; An earlier installation of the same mode goes first, through its own
; uninstaller, so that none of its files stays. The uninstaller runs in place
; (_?=), so that it has finished when ExecWait returns, and keeps the user's
; settings as every uninstall does; it cannot remove itself, so that is done here.
Function RemoveEarlier
  ReadRegStr $R0 SHCTX "${UNINSTALL_KEY}" InstallLocation
  ${If} $R0 == ""
  ${OrIfNot} ${FileExists} "$R0\${UNINSTALLER}"
    Return
  ${EndIf}
  ReadRegStr $R1 HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE
  DetailPrint "Removing the earlier Kestrion from $R0"
  ClearErrors
  ExecWait '"$R0\${UNINSTALLER}" /S _?=$R0' $R2
  ${If} ${Errors}
  ${OrIf} $R2 != 0
    MessageBox MB_OK|MB_ICONSTOP "The earlier Kestrion in $R0 could not be removed (its uninstaller ended with $R2). Uninstall Kestrion under Apps, then run this installer again." /SD IDOK
    Abort "The earlier Kestrion could not be removed."
  ${EndIf}
  Delete "$R0\${UNINSTALLER}"
  RMDir "$R0"
  ReadRegStr $R2 HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE
  ${If} $R1 != ""
  ${AndIf} $R2 == ""
    StrCpy $SaverWasKestrion 1
  ${EndIf}
FunctionEnd

Section "Kestrion screen saver" SectionProgram
  SectionIn RO
  Call RemoveEarlier
  SetOutPath "$INSTDIR"
  !insertmacro KestrionFiles InstallFile
  !ifdef EXTRA_FILE
    File "/oname=${EXTRA_FILE}" "${STAGE}/README.txt"
  !endif
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayName "Kestrion"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" Publisher "${HOLDER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\${SAVER},0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoRepair 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" EstimatedSize $0
  ${If} $SaverWasKestrion == 1
    Call SetScreenSaver
  ${EndIf}
SectionEnd

; For the user who runs the installer: with "For all users" run by an
; administrator on a standard user's behalf, that is the administrator.
Section "Make Kestrion my screen saver" SectionCurrent
  Call SetScreenSaver
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} "The screen saver with its races and effects."
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionCurrent} "Set Kestrion as the screen saver of the account running this installer."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; The uninstaller takes the mode whose uninstall entry names its folder. An
; installation for all users needs an administrator to go: a standard user's
; uninstaller asks Windows to run it elevated (/AllUsers, which the MultiUser
; header refuses without administrator rights, so that this is asked once).
Function un.onInit
  !insertmacro MULTIUSER_UNINIT
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" InstallLocation
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" InstallLocation
  ${If} $0 == $INSTDIR
    Call un.MultiUser.InstallMode.CurrentUser
  ${ElseIf} $1 == $INSTDIR
    ${If} $MultiUser.Privileges == "Admin"
    ${OrIf} $MultiUser.Privileges == "Power"
      Call un.MultiUser.InstallMode.AllUsers
    ${Else}
      ${un.GetParameters} $2
      ExecShell "runas" '"$INSTDIR\${UNINSTALLER}"' "/AllUsers $2"
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

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
  !ifdef EXTRA_FILE
    Delete "$INSTDIR\${EXTRA_FILE}"
  !endif
  ; The uninstaller that handed over to this copy may still be ending, and
  ; its file cannot go until it has: a busy machine gets ten seconds. Run in
  ; place (an installer removing an earlier one) it cannot delete itself; the
  ; installer does.
  GetFullPathName $1 $EXEDIR
  GetFullPathName $2 $INSTDIR
  StrCpy $0 0
  ${If} $1 == $2
    StrCpy $0 50
  ${EndIf}
  ${Do}
    ClearErrors
    Delete "$INSTDIR\${UNINSTALLER}"
    ${IfNot} ${Errors}
    ${OrIf} $0 >= 50
      ${Break}
    ${EndIf}
    Sleep 200
    IntOp $0 $0 + 1
  ${Loop}
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
