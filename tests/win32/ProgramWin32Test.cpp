// Spiralux.scr itself, started as Windows starts a screen saver: saver mode
// with the test player, the instance guard across processes, the
// missing-folder box, default mode, and the modes that end at once.
#include "WinTest.h"

#include <tlhelp32.h>

#include "platform/Common1Win32.h"
#include "platform/InstanceWin32.h"
#include "saver/SSaverWin32.h"

using namespace wintest;

namespace {

class Program : public SettingsTest {};

void ExpectBoxWith(const std::string& folderAsRead) {
  Process scr(Scr("/s"));
  ASSERT_TRUE(scr.Started());
  HWND box = WaitForBox(scr, Soon);
  ASSERT_NE(box, nullptr) << "no box";
  EXPECT_EQ(WindowText(box), "Spiralux");
  EXPECT_EQ(BoxText(box), "Data folder does not exist!\r\n\"" + folderAsRead + "\"");
  EXPECT_TRUE(scr.Running()) << "the box is modal";
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(scr.Ends(Soon));
}

}  // namespace

TEST_F(Program, SaverModeRunsThePlayerInItsFolderAndWaitsForIt) {
  ScratchFolder folder("install");
  ASSERT_NO_FATAL_FAILURE(InstallPlayer(folder));
  SetSettingText("InstFolder", folder.Path());  // without the trailing backslash
  PlayerLog log(folder, 2500);

  Process first(Scr("/s"));
  ASSERT_TRUE(log.WaitForLines(1, Soon)) << "the player did not start";
  std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(lines[0], "start|\"" + folder.File("SpiraMain.exe") + "\"|" + folder.Path());

  // While the player runs, the first copy waits and holds the guard: a
  // second copy ends at once without starting anything.
  EXPECT_TRUE(first.Running());
  EXPECT_TRUE(InstanceExists(SaverInstanceNameOf(ScrPath())));
  {
    Process second(Scr("/s"));
    EXPECT_TRUE(second.Ends(Soon));
    EXPECT_EQ(second.ExitCode(), 0u);
  }
  EXPECT_TRUE(first.Running());

  ASSERT_TRUE(first.Ends(Soon));
  lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u) << "one player only, and it had ended";
  EXPECT_EQ(lines[1], "end");
  EXPECT_FALSE(InstanceExists(SaverInstanceNameOf(ScrPath())));

  // Once the first has ended, a third starts normally.
  log.Stay(0);
  Process third(Scr("/s"));
  EXPECT_TRUE(third.Ends(Soon));
  EXPECT_EQ(log.Lines().size(), 4u);
}

namespace {

// The first process that parent started, opened for waiting; null when
// there is none.
HANDLE ChildOf(DWORD parent) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  HANDLE child = nullptr;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && !child;
       more = Process32NextW(snapshot, &entry))
    if (entry.th32ParentProcessID == parent)
      child = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
  CloseHandle(snapshot);
  return child;
}

}  // namespace

TEST_F(Program, ThePlayerEndsWithTheSaverHoweverTheSaverEnds) {
  ScratchFolder folder("job");
  ASSERT_NO_FATAL_FAILURE(InstallPlayer(folder));
  SetSettingText("InstFolder", folder.Path());
  PlayerLog log(folder, 60000);
  Process scr(Scr("/s"));
  ASSERT_TRUE(log.WaitForLines(1, Soon)) << "the player did not start";
  // Read the process list again until it shows the player: once, in a run
  // on a loaded machine, the first snapshot did not.
  HANDLE player = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (player = ChildOf(scr.Id())) != nullptr; }));
  // As Display Properties ends a saver: from outside, with no chance to
  // clean up.
  ASSERT_TRUE(TerminateProcess(scr.Handle(), 1));
  EXPECT_EQ(WaitForSingleObject(player, 500), WAIT_OBJECT_0) << "the player outlived its saver";
  CloseHandle(player);
  EXPECT_EQ(log.Lines().size(), 1u) << "the player was ended, it did not end by itself";
}

TEST_F(Program, SaverModeStartsThePlayerFromAFolderOfAnyName) {
  // Names outside every ANSI code page but one, written by the setup
  // program as REG_SZ in UTF-16.
  for (const char* name : {"Σπιράλ Ελληνικά", "スパイラル 日本語"}) {
    SCOPED_TRACE(name);
    ScratchFolder folder(name);
    ASSERT_NO_FATAL_FAILURE(InstallPlayer(folder));
    SetSettingText("InstFolder", folder.Path());
    EXPECT_EQ(GetInstFolder(), folder.Path() + "\\") << "read back exactly";
    PlayerLog log(folder, 0);
    Process scr(Scr("/s"));
    ASSERT_TRUE(scr.Ends(Soon));
    std::vector<std::string> lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u) << "the player did not run";
    EXPECT_EQ(lines[0], "start|\"" + folder.File("SpiraMain.exe") + "\"|" + folder.Path());

    SetSettingText("InstFolder", folder.File("Λείπει 欠落"));
    ExpectBoxWith(folder.File("Λείπει 欠落") + "\\");
  }
}

TEST_F(Program, AStandardUsersSaverStartsThePlayer) {
  ScratchFolder folder("standard user");
  ASSERT_NO_FATAL_FAILURE(InstallPlayer(folder));
  SetSettingText("InstFolder", folder.Path());
  StandardUser user;
  {
    // The token is what Windows gives a standard user: the machine's key
    // may be read, not written.
    Impersonating asUser(user);
    for (REGSAM access : {REGSAM(KEY_ALL_ACCESS), REGSAM(KEY_READ)}) {
      HKEY key = nullptr;
      LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsSubKey, 0, access, &key);
      if (rc == ERROR_SUCCESS) RegCloseKey(key);
      EXPECT_EQ(rc, access == KEY_READ ? ERROR_SUCCESS : ERROR_ACCESS_DENIED) << access;
    }
  }

  PlayerLog log(folder, 300);
  Process scr(Scr("/s"), user.Token());
  ASSERT_TRUE(scr.Started());
  HWND box = WaitForBox(scr, Soon);
  EXPECT_EQ(box, nullptr) << BoxText(box);
  EXPECT_TRUE(scr.Ends(Soon));
  std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u) << "the player did not run";
  EXPECT_EQ(lines[0], "start|\"" + folder.File("SpiraMain.exe") + "\"|" + folder.Path());
}

TEST_F(Program, AGuardHeldElsewhereTurnsTheProgramAway) {
  // Without an installation folder the program would show its box; with the
  // guard taken it ends before any mode runs.
  InstanceHandle guard = InstanceCreate(SaverInstanceNameOf(ScrPath()));
  ASSERT_NE(guard, nullptr);
  Process scr(Scr("/s"));
  EXPECT_TRUE(scr.Ends(Soon));
  InstanceClose(guard);
}

TEST_F(Program, MissingInstallationFolderShowsTheBox) { ExpectBoxWith(""); }

TEST_F(Program, AnInstallationFolderNamingAFileShowsTheBox) {
  ScratchFolder folder("file");
  std::string file = folder.File("not a folder.txt");
  HANDLE f = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  SetSettingText("InstFolder", file);
  ExpectBoxWith(file + "\\");
}

namespace {

// Wine keeps a process's system parameters cached once read: another
// process's SPI_SETSCREENSAVEACTIVE shows only in the user's profile, where
// SPIF_UPDATEINIFILE writes it (as on Windows).
std::string ScreenSaveActive() {
  char value[16] = "";
  DWORD size = sizeof value;
  RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveActive", RRF_RT_REG_SZ,
               nullptr, value, &size);
  return value;
}

void SetScreenSaveActive(const std::string& value) {
  RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "ScreenSaveActive", REG_SZ,
                  value.c_str(), DWORD(value.size() + 1));
}

}  // namespace

TEST(ProgramDefault, RegistersItsShortPathAndSwitchesTheSaverOn) {
  char before[MAX_PATH] = "";
  GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", before, MAX_PATH, "system.ini");
  std::string wasActive = ScreenSaveActive();

  WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "C:\\WINDOWS\\OLD.SCR", "system.ini");
  SetScreenSaveActive("0");
  {
    Process scr(Scr("/d"));
    ASSERT_TRUE(scr.Ends(Soon));
  }
  char shortPath[MAX_PATH] = "";
  ASSERT_GT(GetShortPathNameA(ScrPath().c_str(), shortPath, MAX_PATH), 0u);
  char now[MAX_PATH] = "";
  GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", now, MAX_PATH, "system.ini");
  EXPECT_STREQ(now, shortPath);
  EXPECT_EQ(ScreenSaveActive(), "1");

  WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", before[0] ? before : nullptr, "system.ini");
  SetScreenSaveActive(wasActive.empty() ? "0" : wasActive);
}

TEST_F(Program, ModesWithoutAHandlerEndAtOnce) {
  // The password mode has no handler, and a preview without a window has
  // nothing to paint into. (/x and no switch open the dialog: dialog_tests.)
  for (const char* args : {"/a", "/p 0", "/p"}) {
    Process scr(Scr(args));
    ASSERT_TRUE(scr.Started());
    EXPECT_TRUE(scr.Ends(Soon)) << args;
    EXPECT_EQ(scr.ExitCode(), 0u) << args;
    EXPECT_FALSE(SettingsKeyExists()) << args << ": nothing read the settings";
  }
}
