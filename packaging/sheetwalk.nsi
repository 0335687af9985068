; The installer: puts gen_Sheetwalk.dll into the player's Plugins folder and
; libFLAC.dll beside winamp.exe when the player has none there, sheetwalk-inspect.exe
; into the plug-in's own folder, and leaves an uninstaller that removes exactly
; what was installed.
;
;   makensis -DVERSION=0.8 -DFILE_VERSION=0.8.0.0 -DFILES=<folder> -DOUTFILE=<setup.exe> sheetwalk.nsi
;
; <folder> holds gen_Sheetwalk.dll, libFLAC.dll, COPYING.Xiph, COPYING.uchardet, USER_GUIDE.txt and
; sheetwalk-inspect.exe
; (packaging/make-release.sh stages them). The player's folder is looked up in
; the registry; when it is not found there the directory page asks for it.
; /D=<folder> on the command line names it directly, /S installs silently.
;
; -DTARGET_AMD64 makes the same installer a 64-bit program, so that its test
; runs under 64-bit Wine; the release is the 32-bit one, which runs everywhere
; the 32-bit player does.

Unicode true
!ifdef TARGET_AMD64
  Target amd64-unicode
!endif
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PLAYER_EXE "winamp.exe"
; The class of the player's main window, for telling whether it is running.
!define PLAYER_WINDOW_CLASS "Winamp v1.x"
; Beside the plug-in: the user guide, libFLAC's licence, the inspector and the
; uninstaller. The inspector there finds the player's libFLAC.dll two folders up.
!define OWN_FOLDER "Plugins\Sheetwalk"
; Present when this installer put libFLAC.dll beside the player.
!define LIBFLAC_MARKER "libFLAC.dll installed by Sheetwalk.txt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sheetwalk"

Name "Sheetwalk ${VERSION}"
OutFile "${OUTFILE}"
; The player usually lives under Program Files.
RequestExecutionLevel admin
; Empty until .onInit finds the player, unless /D= gave it.
InstallDir ""
ShowInstDetails show
ShowUninstDetails show
BrandingText "Quillmoor Sheetwalk ${VERSION}"

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "Quillmoor"
VIAddVersionKey /LANG=1033 "ProductName" "Sheetwalk"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Sheetwalk ${VERSION} Setup"

Var PlayerFound

!define MUI_ABORTWARNING
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipDirectoryPageWhenFound
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup did not find Winamp on this computer. Choose the folder that holds ${PLAYER_EXE}; the plug-in goes into its Plugins folder."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "Sheetwalk is installed. Restart Winamp if it was running; the plug-in then appears under Preferences, Plug-ins, General Purpose."
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${OWN_FOLDER}\USER_GUIDE.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the user guide"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Sets $INSTDIR to folder $0 and PlayerFound to 1 when $0 holds the player.
Function UseFolderIfPlayer
  ${If} $0 == ""
    Return
  ${EndIf}
  ; A trailing separator would double in the paths built from $INSTDIR.
  StrCpy $1 $0 1 -1
  ${If} $1 == "\"
    StrCpy $0 $0 -1
  ${EndIf}
  ${If} ${FileExists} "$0\${PLAYER_EXE}"
    StrCpy $INSTDIR $0
    StrCpy $PlayerFound 1
  ${EndIf}
FunctionEnd

; Sets $0 to the folder of the program named in uninstall command $0, which
; may be quoted and may carry arguments after the quotes.
Function FolderOfUninstallCommand
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $2 0
    ${Do}
      StrCpy $1 $0 1 $2
      ${If} $1 == '"'
      ${OrIf} $1 == ""
        ${Break}
      ${EndIf}
      IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 $0 $2
  ${EndIf}
  ${GetParent} $0 $0
FunctionEnd

Function .onInit
  SetRegView 32
  StrCpy $PlayerFound 0
  ${If} $INSTDIR != ""
    Return
  ${EndIf}
  ; The player's installer records its folder as the default value of its key.
  ReadRegStr $0 HKCU "Software\Winamp" ""
  Call UseFolderIfPlayer
  ${If} $PlayerFound == 0
    ReadRegStr $0 HKLM "Software\Winamp" ""
    Call UseFolderIfPlayer
  ${EndIf}
  ; Else the folder of its uninstaller.
  ${If} $PlayerFound == 0
    ReadRegStr $0 HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"
    ${If} $0 != ""
      Call FolderOfUninstallCommand
      Call UseFolderIfPlayer
    ${EndIf}
  ${EndIf}
  ${If} $PlayerFound == 0
    ReadRegStr $0 HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp" "UninstallString"
    ${If} $0 != ""
      Call FolderOfUninstallCommand
      Call UseFolderIfPlayer
    ${EndIf}
  ${EndIf}
  ${If} $PlayerFound == 0
    StrCpy $INSTDIR "$PROGRAMFILES\Winamp"
  ${EndIf}
FunctionEnd

Function SkipDirectoryPageWhenFound
  ${If} $PlayerFound == 1
    Abort
  ${EndIf}
FunctionEnd

; The Next button stays off until the folder holds the player.
Function .onVerifyInstDir
  ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    Abort
  ${EndIf}
FunctionEnd

; A running player holds the plug-in open; its files cannot be replaced.
!macro WaitForPlayerToClose un
  Function ${un}WaitForPlayerToClose
    ${Do}
      FindWindow $0 "${PLAYER_WINDOW_CLASS}"
      ${If} $0 == 0
        ${Break}
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Winamp is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY retry
      SetErrorLevel 3
      Abort "Winamp is running."
      retry:
    ${Loop}
  FunctionEnd
!macroend
!insertmacro WaitForPlayerToClose ""
!insertmacro WaitForPlayerToClose "un."

Section "Sheetwalk"
  SetRegView 32
  ; Silent installs skip the directory page and its check.
  ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    MessageBox MB_ICONSTOP "$INSTDIR does not hold ${PLAYER_EXE}. Run Setup again and choose the Winamp folder." /SD IDOK
    SetErrorLevel 2
    Abort "No Winamp in $INSTDIR."
  ${EndIf}
  Call WaitForPlayerToClose

  ; libFLAC.dll is Sheetwalk's to install when the player has none, or when
  ; an earlier Sheetwalk put the one that is there.
  StrCpy $R0 0
  ${IfNot} ${FileExists} "$INSTDIR\libFLAC.dll"
  ${OrIf} ${FileExists} "$INSTDIR\${OWN_FOLDER}\${LIBFLAC_MARKER}"
    StrCpy $R0 1
  ${EndIf}

  SetOutPath "$INSTDIR\Plugins"
  File "${FILES}\gen_Sheetwalk.dll"
  SetOutPath "$INSTDIR\${OWN_FOLDER}"
  File "${FILES}\USER_GUIDE.txt"
  File "${FILES}\COPYING.Xiph"
  File "${FILES}\COPYING.uchardet"
  File "${FILES}\sheetwalk-inspect.exe"
  ${If} $R0 == 1
    SetOutPath "$INSTDIR"
    File "${FILES}\libFLAC.dll"
    FileOpen $0 "$INSTDIR\${OWN_FOLDER}\${LIBFLAC_MARKER}" w
    FileWrite $0 "Sheetwalk's setup put libFLAC.dll beside ${PLAYER_EXE}; its uninstaller removes it again.$\r$\n"
    FileClose $0
  ${Else}
    DetailPrint "Kept the libFLAC.dll that is already beside ${PLAYER_EXE}."
  ${EndIf}

  WriteUninstaller "$INSTDIR\${OWN_FOLDER}\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Sheetwalk ${VERSION} (Winamp plug-in)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Quillmoor"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${OWN_FOLDER}\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${OWN_FOLDER}\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; $INSTDIR is the uninstaller's own folder, Plugins\Sheetwalk of the player.
Section "Uninstall"
  SetRegView 32
  ${GetParent} "$INSTDIR" $R1
  ${GetParent} "$R1" $R2
  Call un.WaitForPlayerToClose

  Delete "$R1\gen_Sheetwalk.dll"
  ${If} ${FileExists} "$INSTDIR\${LIBFLAC_MARKER}"
    Delete "$R2\libFLAC.dll"
    Delete "$INSTDIR\${LIBFLAC_MARKER}"
  ${EndIf}
  Delete "$INSTDIR\USER_GUIDE.txt"
  Delete "$INSTDIR\COPYING.Xiph"
  Delete "$INSTDIR\COPYING.uchardet"
  Delete "$INSTDIR\sheetwalk-inspect.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  ; The key names the last folder installed into; another folder keeps it.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 == $R2
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
