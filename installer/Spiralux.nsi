; The setup program of Spiralux 1.0: Spiralux-1.0-setup.exe.
;
; It puts the player SpiraMain.exe into the installation folder (Program
; Files\Spiralux by default, choosable, /D= in silent mode), the screen saver
; Spiralux.scr into the system folder where the screen-saver settings look,
; records the folder as InstFolder under HKLM\Software\Spiralux\1.0 and adds
; an Add/Remove Programs entry. Its last page offers to make Spiralux the
; current screen saver (the program's own /d) and to open its settings (/c).
; /S installs silently. Installing again keeps the user's FrameDelay: nothing
; here writes it.
;
; Spiralux.scr is a 32-bit program, and its installer is 32-bit on purpose:
; on 64-bit Windows a 32-bit process sees the 32-bit system folder (SysWOW64)
; as $SYSDIR through file-system redirection, which this script never turns
; off, and its HKLM writes go to the 32-bit registry view (Wow6432Node), the
; view the 32-bit program reads. SetRegView 32 states that view explicitly in
; the installer and the uninstaller alike. On 32-bit Windows both are simply
; System32 and the one registry view.
;
; The x86-64 build of the same programs, made only to run the Wine tests
; where the kernel runs no 32-bit code, gets a 64-bit installer (-DX64) by
; the same rule: the 64-bit system folder and registry view, the ones its
; 64-bit programs use.
;
; makensis [-DX64] -DSAVER_FILE=... -DPLAYER_FILE=... -DICON_FILE=... -DOUT_FILE=...
Unicode true
!ifdef X64
  Target amd64-unicode
  !define REG_VIEW 64
  !define PROGRAMS_FOLDER "$PROGRAMFILES64"
!else
  Target x86-unicode
  !define REG_VIEW 32
  !define PROGRAMS_FOLDER "$PROGRAMFILES"
!endif
!ifndef SAVER_FILE | PLAYER_FILE | ICON_FILE | OUT_FILE
  !error "define SAVER_FILE, PLAYER_FILE, ICON_FILE and OUT_FILE"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Spiralux"
!define VERSION "1.0"
!define PUBLISHER "Spiralux"
!define SETTINGS_KEY "Software\Spiralux\1.0"
!define PRODUCT_KEY "Software\Spiralux"
!define ARP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Spiralux"
!define UNINSTALLER "Uninstall.exe"
!define SPI_SETSCREENSAVEACTIVE 17
; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE
!define SPIF_SAVE 3

Name "${PRODUCT} ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "${PROGRAMS_FOLDER}\${PRODUCT}"
InstallDirRegKey HKLM "${SETTINGS_KEY}" "InstFolder"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion 1.0.0.0
VIFileVersion 1.0.0.0
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${PRODUCT} ${VERSION} setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey LegalCopyright "${PUBLISHER}"
VIAddVersionKey OriginalFilename "${PRODUCT}-${VERSION}-setup.exe"

!define MUI_ICON "${ICON_FILE}"
!define MUI_UNICON "${ICON_FILE}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The last page: Spiralux as the current screen saver (checked), its
; settings (not checked). Neither runs in silent mode.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Make Spiralux the current screen saver"
!define MUI_FINISHPAGE_RUN_FUNCTION MakeCurrentSaver
!define MUI_FINISHPAGE_SHOWREADME
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the Spiralux settings"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION OpenSettings
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; HKLM and the system folder need an administrator; a user without the right
; is told so and nothing is written (exit code 740, "elevation required").
!macro RequireAdmin
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "Installing or removing ${PRODUCT} needs administrator rights." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

Function .onInit
  SetRegView ${REG_VIEW}
  !insertmacro RequireAdmin
FunctionEnd

Function un.onInit
  SetRegView ${REG_VIEW}
  !insertmacro RequireAdmin
FunctionEnd

Section "Spiralux" SecMain
  SectionIn RO
  ; An earlier install in another folder: its files go, so that one folder
  ; holds the product. The settings key and its FrameDelay stay.
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "InstFolder"
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
  ${AndIf} ${FileExists} "$0\${UNINSTALLER}"
    Delete "$0\SpiraMain.exe"
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "/oname=SpiraMain.exe" "${PLAYER_FILE}"
  SetOutPath "$SYSDIR"
  File "/oname=Spiralux.scr" "${SAVER_FILE}"
  SetOutPath "$INSTDIR"

  WriteRegStr HKLM "${SETTINGS_KEY}" "InstFolder" "$INSTDIR"

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ; The uninstaller carries the product's icon; the entry points at it rather
  ; than at the system folder, whose name a 64-bit reader would resolve to
  ; the 64-bit folder.
  WriteRegStr HKLM "${ARP_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKLM "${ARP_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${ARP_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${ARP_KEY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER},0"
  WriteRegStr HKLM "${ARP_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${ARP_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${ARP_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${ARP_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${ARP_KEY}" "NoRepair" 1
  ; In KiB: the installation folder and the screen saver.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  ${GetSize} "$SYSDIR" "/M=Spiralux.scr /S=0K /G=0" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegDWORD HKLM "${ARP_KEY}" "EstimatedSize" $0
SectionEnd

; The program's own default mode writes the boot section of system.ini and
; switches the screen saver on.
Function MakeCurrentSaver
  ExecWait '"$SYSDIR\Spiralux.scr" /d'
FunctionEnd

Function OpenSettings
  Exec '"$SYSDIR\Spiralux.scr" /c'
FunctionEnd

; $0 = 1 when SCRNSAVE.EXE of the boot section names our Spiralux.scr. Paths
; are compared in their short forms, which name the file however it was
; written; a 32-bit process may see the folder as System32 or as SysWOW64.
Function un.IsCurrentSaver
  StrCpy $0 0
  ReadINIStr $1 "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
  StrCmp $1 "" done
  GetFullPathName /SHORT $1 "$1"
  StrCmp $1 "" done
  GetFullPathName /SHORT $2 "$SYSDIR\Spiralux.scr"
  GetFullPathName /SHORT $3 "$WINDIR\SysWOW64\Spiralux.scr"
  ${If} $1 == $2
  ${OrIf} $1 == $3
    StrCpy $0 1
  ${EndIf}
done:
FunctionEnd

Section "Uninstall"
  ; Spiralux as the current screen saver: no screen saver afterwards, as
  ; when "(None)" is chosen in the screen-saver settings.
  Call un.IsCurrentSaver
  ${If} $0 == 1
    DeleteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
    System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_SAVE})'
  ${EndIf}

  Delete /REBOOTOK "$SYSDIR\Spiralux.scr"
  Delete "$INSTDIR\SpiraMain.exe"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"

  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "${PRODUCT_KEY}"
  DeleteRegKey HKLM "${ARP_KEY}"
SectionEnd
