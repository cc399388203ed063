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
; It never replaces or removes a file that it did not put there. The
; Add/Remove Programs entry records every file it wrote (FileN: the path,
; StampN: its size and last-write time just after writing); a file is ours
; while it still has the recorded stamp, so another product's file of the
; same name never is. A folder that holds anything else is refused, unless
; it is the recorded installation's own (which still holds a file of ours);
; there the files added later stay. An upgrade into another folder and the
; uninstaller remove the recorded files that are still ours and the folder
; once nothing else is left in it. The folder gets a protected DACL: only
; Administrators and SYSTEM may write there, users read and run, so nobody
; else can swap the player that every user's screen saver starts. Before it
; changes anything it ends the player and every Spiralux.scr process; a file
; still in use goes at the next restart (exit code 3010 in silent mode).
; Exit codes: 0 done, 1 cancelled, 2 refused or failed (the message says
; why), 740 not an administrator, 3010 done once Windows restarts.
;
; Spiralux.scr is a 32-bit program, and its installer is 32-bit on purpose:
; on 64-bit Windows its HKLM writes go to the 32-bit registry view
; (Wow6432Node), the view the 32-bit program reads; SetRegView 32 states
; that view explicitly in the installer and the uninstaller alike. The saver
; goes into the 32-bit system folder, named by its own name there, SysWOW64
; ($SYSDIR would reach it too, through file-system redirection, but a
; removal at the restart is done by the 64-bit system, which takes System32
; as its own folder). On 32-bit Windows both are simply System32 and the one
; registry view.
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
  ; PROCESSENTRY32W: its size, and where szExeFile starts
  !define ENTRY_SIZE 568
  !define ENTRY_NAME 44
!else
  Target x86-unicode
  !define REG_VIEW 32
  !define PROGRAMS_FOLDER "$PROGRAMFILES"
  !define ENTRY_SIZE 556
  !define ENTRY_NAME 36
!endif
!ifndef SAVER_FILE | PLAYER_FILE | ICON_FILE | OUT_FILE
  !error "define SAVER_FILE, PLAYER_FILE, ICON_FILE and OUT_FILE"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define PRODUCT "Spiralux"
!define VERSION "1.0"
!define PUBLISHER "Spiralux"
!define SETTINGS_KEY "Software\Spiralux\1.0"
!define PRODUCT_KEY "Software\Spiralux"
!define ARP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Spiralux"
!define PLAYER "SpiraMain.exe"
!define SAVER "Spiralux.scr"
!define UNINSTALLER "Uninstall.exe"
!define PLAYER_CLASS "SpiraMain_Player"
!define PLAYER_TITLE "Spiralux"
!define SPI_SETSCREENSAVEACTIVE 17
; SPIF_UPDATEINIFILE | SPIF_SENDCHANGE
!define SPIF_SAVE 3
!define TH32CS_SNAPPROCESS 2
; PROCESS_TERMINATE | SYNCHRONIZE
!define PROCESS_END_ACCESS 0x00100001
!define FILE_ATTRIBUTE_DIRECTORY 0x10
; The installation folder's DACL, protected from what the folder above
; passes on: full control for SYSTEM and Administrators, read and execute
; for Users, and for the owner of what is created inside (an administrator)
; full control of it, as Program Files grants; inherited by every file and
; folder in it.
!define FOLDER_SDDL "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICIIO;GA;;;CO)"
!define SDDL_REVISION_1 1
!define SE_FILE_OBJECT 1
; DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION
!define DACL_PROTECTED 0x80000004
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010

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

; A refused folder is said on the folder page, which stays.
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE LeaveFolderPage
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The last page: Spiralux as the current screen saver (checked), its
; settings (not checked). Neither runs in silent mode. When a file waits
; for the restart, the page asks about restarting instead.
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

; The functions below pass their values in these variables.
Var Path         ; a file
Var Stamp        ; its size and last-write time
Var Ours         ; 1 when $Path is the file this setup program recorded
Var Folder       ; a folder that goes once it holds nothing else
Var Pending      ; files of $Folder that go at the restart
Var Count
Var Index        ; an entry of the record
Var Refusal      ; why the chosen folder cannot take Spiralux
Var Target       ; a file that this install writes
Var Action       ; count, close or end: what is done to what runs
Var Item
Var Handle
Var Buffer
Var Result
Var SizeHigh
Var SizeLow
Var SaverFolder  ; the system folder of the screen saver's bitness

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

; The 32-bit system folder by its real name: SysWOW64 under WOW64.
!macro FindSaverFolder
  StrCpy $SaverFolder $SYSDIR
  !ifndef X64
    ${IfThen} ${IsWow64} ${|} StrCpy $SaverFolder "$WINDIR\SysWOW64" ${|}
  !endif
!macroend

; Ends the install or uninstall with the reason (exit code 2).
!macro Fail MESSAGE
  MessageBox MB_ICONSTOP|MB_OK "${MESSAGE}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

Function .onInit
  SetRegView ${REG_VIEW}
  !insertmacro RequireAdmin
  !insertmacro FindSaverFolder
FunctionEnd

Function un.onInit
  SetRegView ${REG_VIEW}
  !insertmacro RequireAdmin
  !insertmacro FindSaverFolder
FunctionEnd

; What the installer and the uninstaller share (NSIS wants a copy of each
; function for the uninstaller, named un.*).
!macro SharedFunctions un
  ; $Stamp = the size and last-write time of the file $Path, or "" when no
  ; file has that name (a folder is none).
  Function ${un}ReadStamp
    StrCpy $Stamp ""
    ; WIN32_FILE_ATTRIBUTE_DATA: attributes, three times, size high and low
    System::Call '*(i, l, l, l, i, i) p .s'
    Pop $Buffer
    System::Call 'kernel32::GetFileAttributesExW(w "$Path", i 0, p $Buffer) i .s'
    Pop $Result
    ${If} $Result <> 0
      System::Call '*$Buffer(i .s, l, l, l .s, i .s, i .s)'
      Pop $Result
      Pop $Stamp
      Pop $SizeHigh
      Pop $SizeLow
      IntOp $Result $Result & ${FILE_ATTRIBUTE_DIRECTORY}
      ${If} $Result = 0
        StrCpy $Stamp "$SizeHigh:$SizeLow:$Stamp"
      ${Else}
        StrCpy $Stamp ""
      ${EndIf}
    ${EndIf}
    System::Free $Buffer
  FunctionEnd

  ; $Ours = 1 when the record lists $Path with the stamp its file has now.
  Function ${un}IsOurs
    StrCpy $Ours 0
    Call ${un}ReadStamp
    StrCpy $Index 1
    ${Do}
      ReadRegStr $Item HKLM "${ARP_KEY}" "File$Index"
      ${IfThen} $Item == "" ${|} ${ExitDo} ${|}
      ${If} $Item == $Path
        ReadRegStr $Item HKLM "${ARP_KEY}" "Stamp$Index"
        ${If} $Stamp != ""
        ${AndIf} $Item == $Stamp
          StrCpy $Ours 1
        ${EndIf}
        ${ExitDo}
      ${EndIf}
      IntOp $Index $Index + 1
    ${Loop}
  FunctionEnd

  ; $Count = the entries of $Folder, "." and ".." aside.
  Function ${un}CountEntries
    StrCpy $Count 0
    FindFirst $Handle $Item "$Folder\*"
    ${DoWhile} $Item != ""
      ${If} $Item != "."
      ${AndIf} $Item != ".."
        IntOp $Count $Count + 1
      ${EndIf}
      FindNext $Handle $Item
    ${Loop}
    FindClose $Handle
  FunctionEnd

  ; Removes every recorded file that is still ours (in the installer: that
  ; this install does not write again); one in use goes at the restart, and
  ; $Pending counts those in $Folder.
  Function ${un}RemoveOurFiles
    StrCpy $Pending 0
    StrCpy $Index 1
    ${Do}
      ReadRegStr $Path HKLM "${ARP_KEY}" "File$Index"
      ${IfThen} $Path == "" ${|} ${ExitDo} ${|}
      !if "${un}" == ""
        Call IsTarget
      !else
        StrCpy $Result 0
      !endif
      ReadRegStr $Item HKLM "${ARP_KEY}" "Stamp$Index"
      Call ${un}ReadStamp
      ${If} $Result = 0
      ${AndIf} $Stamp != ""
      ${AndIf} $Stamp == $Item
        Delete /REBOOTOK "$Path"
        StrLen $Result "$Folder\"
        StrCpy $Item "$Path" $Result
        ${If} ${FileExists} "$Path"
        ${AndIf} $Item == "$Folder\"
          IntOp $Pending $Pending + 1
        ${EndIf}
      ${EndIf}
      IntOp $Index $Index + 1
    ${Loop}
  FunctionEnd

  ; Removes $Folder when it holds nothing, or nothing but the $Pending files
  ; that go at the restart (then it goes after them). Another product's file
  ; keeps it.
  Function ${un}RemoveFolder
    ${If} $Folder != ""
      RMDir "$Folder"
      ${If} ${FileExists} "$Folder\*.*"
      ${AndIf} $Pending > 0
        Call ${un}CountEntries
        ${IfThen} $Count = $Pending ${|} RMDir /REBOOTOK "$Folder" ${|}
      ${EndIf}
    ${EndIf}
  FunctionEnd

  ; Ends the process whose id is on the stack and waits for it (5 s at most).
  Function ${un}EndProcess
    Exch $Item
    System::Call 'kernel32::OpenProcess(i ${PROCESS_END_ACCESS}, i 0, i $Item) p .s'
    Pop $Handle
    ${If} $Handle <> 0
      System::Call 'kernel32::TerminateProcess(p $Handle, i 1)'
      System::Call 'kernel32::WaitForSingleObject(p $Handle, i 5000)'
      System::Call 'kernel32::CloseHandle(p $Handle)'
    ${EndIf}
    Pop $Item
  FunctionEnd

  ; $Count = the player's windows. $Action close asks each to close (the
  ; player ends on WM_CLOSE, and a screen saver waiting for it with it);
  ; end ends the process of each.
  Function ${un}PlayerWindows
    StrCpy $Count 0
    StrCpy $Item 0
    ${Do}
      FindWindow $Item "${PLAYER_CLASS}" "${PLAYER_TITLE}" "" $Item
      ${IfThen} $Item = 0 ${|} ${ExitDo} ${|}
      IntOp $Count $Count + 1
      ${If} $Action == close
        System::Call 'user32::PostMessageW(p $Item, i ${WM_CLOSE}, p 0, p 0)'
      ${ElseIf} $Action == end
        System::Call 'user32::GetWindowThreadProcessId(p $Item, *i .s)'
        Call ${un}EndProcess
      ${EndIf}
    ${Loop}
  FunctionEnd

  ; $Count = the Spiralux.scr processes: the screen saver, a preview, the
  ; settings. $Action end ends each.
  Function ${un}SaverProcesses
    StrCpy $Count 0
    System::Call 'kernel32::CreateToolhelp32Snapshot(i ${TH32CS_SNAPPROCESS}, i 0) p .s'
    Pop $Handle
    System::Alloc ${ENTRY_SIZE}
    Pop $Buffer
    System::Call '*$Buffer(i ${ENTRY_SIZE})'
    System::Call 'kernel32::Process32FirstW(p $Handle, p $Buffer) i .s'
    Pop $Result
    ${DoWhile} $Result <> 0
      IntPtrOp $Item $Buffer + ${ENTRY_NAME}
      System::Call '*$Item(&w260 .s)'
      Pop $Item
      ${If} $Item == "${SAVER}"
        IntOp $Count $Count + 1
        ${If} $Action == end
          System::Call '*$Buffer(i, i, i .s)'
          Push $Handle
          Exch
          Call ${un}EndProcess
          Pop $Handle
        ${EndIf}
      ${EndIf}
      System::Call 'kernel32::Process32NextW(p $Handle, p $Buffer) i .s'
      Pop $Result
    ${Loop}
    System::Free $Buffer
    System::Call 'kernel32::CloseHandle(p $Handle)'
  FunctionEnd

  ; Nothing of Spiralux runs afterwards: the user is told (and may cancel,
  ; exit code 1), the player is asked to close and given 5 s, then what
  ; still runs is ended.
  Function ${un}EndSpiralux
    StrCpy $Action count
    Call ${un}PlayerWindows
    StrCpy $Result $Count
    Call ${un}SaverProcesses
    IntOp $Result $Result + $Count
    ${If} $Result > 0
      MessageBox MB_OKCANCEL|MB_ICONINFORMATION "${PRODUCT} is running (the screen saver, its preview, its settings or the player). Setup closes it before it goes on." /SD IDOK IDOK close
      SetErrorLevel 1
      Abort
    close:
      StrCpy $Action close
      Call ${un}PlayerWindows
      StrCpy $Action count
      ${For} $Index 1 20
        Call ${un}PlayerWindows
        ${IfThen} $Count = 0 ${|} ${Break} ${|}
        Sleep 250
      ${Next}
      StrCpy $Action end
      Call ${un}PlayerWindows
      Call ${un}SaverProcesses
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

; Calls FUNCTION with $Target set to each file that this install writes.
!macro ForEachTarget FUNCTION
  StrCpy $Target "$INSTDIR\${PLAYER}"
  Call ${FUNCTION}
  StrCpy $Target "$INSTDIR\${UNINSTALLER}"
  Call ${FUNCTION}
  StrCpy $Target "$SaverFolder\${SAVER}"
  Call ${FUNCTION}
!macroend

Function MatchTarget
  ${IfThen} $Target == $Path ${|} StrCpy $Result 1 ${|}
FunctionEnd

; $Result = 1 when this install writes $Path.
Function IsTarget
  StrCpy $Result 0
  !insertmacro ForEachTarget MatchTarget
FunctionEnd

Function RefuseForeignTarget
  ${If} $Refusal == ""
  ${AndIf} ${FileExists} "$Target"
    StrCpy $Path $Target
    Call IsOurs
    ${IfThen} $Ours = 0 ${|} StrCpy $Refusal "$Target was not installed by ${PRODUCT}, and Setup does not replace it." ${|}
  ${EndIf}
FunctionEnd

; $Refusal = why Spiralux cannot go into $INSTDIR, or "" when the folder is
; new, empty or the recorded installation's own, and each file this install
; writes is absent or ours. A folder that exists is named in its long form,
; as the record names it.
Function CheckFolder
  StrCpy $Refusal ""
  System::Call 'kernel32::GetLongPathNameW(w "$INSTDIR", w .s, i ${NSIS_MAX_STRLEN}) i .s'
  Pop $Result
  Pop $Item
  ${If} $Result > 0
  ${AndIf} $Result < ${NSIS_MAX_STRLEN}
    StrCpy $INSTDIR $Item
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\*.*"
    StrCpy $Folder $INSTDIR
    Call CountEntries
    StrCpy $Ours 0
    ${If} $Count > 0
      !insertmacro ForEachTarget HoldsOurFile
      ${IfThen} $Ours = 0 ${|} StrCpy $Refusal "$INSTDIR holds files of other software. Choose a new or an empty folder for ${PRODUCT}." ${|}
    ${EndIf}
  ${ElseIf} ${FileExists} "$INSTDIR"
    StrCpy $Refusal "$INSTDIR is a file, not a folder."
  ${EndIf}
  !insertmacro ForEachTarget RefuseForeignTarget
FunctionEnd

; $Ours = 1 once a file of this install in $INSTDIR is the recorded one.
Function HoldsOurFile
  StrLen $Result "$INSTDIR\"
  StrCpy $Item $Target $Result
  ${If} $Ours = 0
  ${AndIf} $Item == "$INSTDIR\"
    StrCpy $Path $Target
    Call IsOurs
  ${EndIf}
FunctionEnd

Function LeaveFolderPage
  Call CheckFolder
  ${If} $Refusal != ""
    MessageBox MB_ICONEXCLAMATION|MB_OK "$Refusal"
    Abort
  ${EndIf}
FunctionEnd

; Gives $INSTDIR the DACL of FOLDER_SDDL, for it and all it holds.
Function SecureFolder
  StrCpy $Result 1
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${FOLDER_SDDL}", i ${SDDL_REVISION_1}, *p .s, p 0) i .s'
  Pop $Count
  Pop $Buffer
  ${If} $Count <> 0
    System::Call 'advapi32::GetSecurityDescriptorDacl(p $Buffer, *i .s, *p .s, *i .s) i .s'
    Pop $Count
    Pop $Item
    Pop $Handle
    Pop $Item
    ${If} $Count <> 0
      System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i ${SE_FILE_OBJECT}, i ${DACL_PROTECTED}, p 0, p 0, p $Handle, p 0) i .s'
      Pop $Result
    ${EndIf}
    System::Call 'kernel32::LocalFree(p $Buffer)'
  ${EndIf}
  ${If} $Result <> 0
    RMDir "$INSTDIR"
    !insertmacro Fail "Setup could not make $INSTDIR writable for administrators only (error $Result)."
  ${EndIf}
FunctionEnd

; After $Path was written: records it as entry $Index, or, when it could not
; be written, ends the install with the reason.
Function RecordFile
  ${If} ${Errors}
    !insertmacro Fail "Setup could not write $Path. A program may be using it: close it and run Setup again."
  ${EndIf}
  Call ReadStamp
  WriteRegStr HKLM "${ARP_KEY}" "File$Index" "$Path"
  WriteRegStr HKLM "${ARP_KEY}" "Stamp$Index" "$Stamp"
  IntOp $Index $Index + 1
FunctionEnd

; Writes one file of the installation and records it; a file that cannot be
; written is no reason for a question (SetOverwrite try), RecordFile says it.
!macro InstallFile FOLDER NAME SOURCE
  ClearErrors
  SetOutPath "${FOLDER}"
  File "/oname=${NAME}" "${SOURCE}"
  StrCpy $Path "${FOLDER}\${NAME}"
  Call RecordFile
!macroend

Section "Spiralux" SecMain
  SectionIn RO
  Call CheckFolder
  ${If} $Refusal != ""
    !insertmacro Fail "$Refusal"
  ${EndIf}
  Call EndSpiralux
  ; An earlier installation: what this one does not write again goes, and
  ; its folder, when it is another one, once nothing else is left in it.
  ; The settings key and its FrameDelay stay.
  ReadRegStr $Folder HKLM "${ARP_KEY}" "InstallLocation"
  ${IfThen} $Folder == $INSTDIR ${|} StrCpy $Folder "" ${|}
  Call RemoveOurFiles
  Call RemoveFolder

  SetOverwrite try
  CreateDirectory "$INSTDIR"
  Call SecureFolder
  StrCpy $Index 1
  !insertmacro InstallFile "$INSTDIR" "${PLAYER}" "${PLAYER_FILE}"
  !insertmacro InstallFile "$SaverFolder" "${SAVER}" "${SAVER_FILE}"
  ClearErrors
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  StrCpy $Path "$INSTDIR\${UNINSTALLER}"
  Call RecordFile
  ; The earlier record's remaining entries.
  ${Do}
    ReadRegStr $Path HKLM "${ARP_KEY}" "File$Index"
    ${IfThen} $Path == "" ${|} ${ExitDo} ${|}
    DeleteRegValue HKLM "${ARP_KEY}" "File$Index"
    DeleteRegValue HKLM "${ARP_KEY}" "Stamp$Index"
    IntOp $Index $Index + 1
  ${Loop}

  WriteRegStr HKLM "${SETTINGS_KEY}" "InstFolder" "$INSTDIR"
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
  ${GetSize} "$SaverFolder" "/M=${SAVER} /S=0K /G=0" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegDWORD HKLM "${ARP_KEY}" "EstimatedSize" $0
  ; The finish page offers the restart; silently, the exit code says it.
  ${If} ${RebootFlag}
  ${AndIf} ${Silent}
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
SectionEnd

; The program's own default mode writes the boot section of system.ini and
; switches the screen saver on.
Function MakeCurrentSaver
  ExecWait '"$SYSDIR\${SAVER}" /d'
FunctionEnd

Function OpenSettings
  Exec '"$SYSDIR\${SAVER}" /c'
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
  GetFullPathName /SHORT $2 "$SYSDIR\${SAVER}"
  GetFullPathName /SHORT $3 "$WINDIR\SysWOW64\${SAVER}"
  ${If} $1 == $2
  ${OrIf} $1 == $3
    StrCpy $0 1
  ${EndIf}
done:
FunctionEnd

Section "Uninstall"
  Call un.EndSpiralux
  ; Our Spiralux.scr as the current screen saver: no screen saver
  ; afterwards, as when "(None)" is chosen in the screen-saver settings.
  StrCpy $Path "$SaverFolder\${SAVER}"
  Call un.IsOurs
  Call un.IsCurrentSaver
  ${If} $0 == 1
  ${AndIf} $Ours = 1
    DeleteINIStr "$WINDIR\system.ini" "boot" "SCRNSAVE.EXE"
    System::Call 'user32::SystemParametersInfo(i ${SPI_SETSCREENSAVEACTIVE}, i 0, p 0, i ${SPIF_SAVE})'
  ${EndIf}

  ReadRegStr $Folder HKLM "${ARP_KEY}" "InstallLocation"
  Call un.RemoveOurFiles
  Call un.RemoveFolder

  ; The machine's settings, and the speed of the user who uninstalls (other
  ; users' own values are out of reach).
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "${PRODUCT_KEY}"
  DeleteRegValue HKCU "${SETTINGS_KEY}" "FrameDelay"
  DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "${PRODUCT_KEY}"
  DeleteRegKey HKLM "${ARP_KEY}"

  ${If} ${RebootFlag}
    ${If} ${Silent}
      SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
    ${Else}
      MessageBox MB_YESNO|MB_ICONQUESTION "Some files of ${PRODUCT} are in use; Windows removes them when it restarts. Restart now?" IDNO +2
      Reboot
    ${EndIf}
  ${EndIf}
SectionEnd
