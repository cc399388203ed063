// The instance guard, DirExists, the UTF-8 conversions, launching and the
// system's libraries on Wine (folders of any name: ProgramWin32Test.cpp).
#include "WinTest.h"
#include "platform/InstanceWin32.h"
#include "platform/LaunchWin32.h"
#include "platform/RoutinesWin32.h"
#include "runtime/SystemWin32.h"

using namespace wintest;

namespace {
std::string GuardName(const char* stem) {
  return std::string("SpiraluxTest_") + stem + "_" + std::to_string(GetCurrentProcessId());
}
}  // namespace

TEST(Instance, AProbeLeavesNothingBehind) {
  std::string name = GuardName("probe");
  EXPECT_FALSE(InstanceExists(name));
  InstanceHandle h = InstanceCreate(name);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(GetLastError(), DWORD(ERROR_ALREADY_EXISTS)) << "the probe kept the semaphore alive";
  InstanceClose(h);
}

TEST(Instance, ExistsFromCreationToClose) {
  std::string name = GuardName("held");
  InstanceHandle h = InstanceCreate(name);
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(InstanceExists(name));
  EXPECT_EQ(InstanceExists(name), True32);
  InstanceClose(h);
  EXPECT_FALSE(InstanceExists(name));
  InstanceClose(nullptr);
}

TEST(Instance, AnObjectOfAnotherKindIsNoGuard) {
  std::string name = GuardName("mutex");
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  ASSERT_NE(mutex, nullptr);
  EXPECT_FALSE(InstanceExists(name));
  CloseHandle(mutex);
}

TEST(DirExists, OnlyExistingDirectories) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  std::string dir = windows;
  EXPECT_TRUE(DirExists("C:\\"));
  EXPECT_EQ(DirExists(dir), True32);
  EXPECT_TRUE(DirExists(dir + "\\"));
  EXPECT_FALSE(DirExists(dir + "\\system.ini"));
  EXPECT_FALSE(DirExists(dir + "\\no such folder"));
  EXPECT_FALSE(DirExists(""));
}

TEST(Utf16, TextOfEveryPlaneComesBackUnchanged) {
  struct Case {
    const char* utf8;
    std::wstring utf16;
  } cases[] = {
      {"", L""},
      {"C:\\Program Files\\Spiralux", L"C:\\Program Files\\Spiralux"},
      {"Σπιράλ", L"\u03a3\u03c0\u03b9\u03c1\u03ac\u03bb"},
      {"スパイラル", L"\u30b9\u30d1\u30a4\u30e9\u30eb"},
      {"\xf0\x9f\x8c\x80", L"\xd83c\xdf00"},  // U+1F300, a surrogate pair
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WideOf(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(Utf8Of(c.utf16), c.utf8) << c.utf8;
  }
  // Bytes that are no UTF-8 become U+FFFD, never dropped in silence.
  EXPECT_EQ(WideOf("a\xff" "b"), L"a\xfffd" L"b");
  EXPECT_EQ(Utf8Of(std::wstring(1, wchar_t(0xd800))), "\xef\xbf\xbd");
}

TEST(SystemLibraries, OnlyTheSystemFolderIsSearched) {
  wchar_t system[MAX_PATH];
  UINT n = GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_GT(n, 0u);
  HMODULE winmm = LoadSystemLibrary(L"winmm.dll");
  ASSERT_NE(winmm, nullptr);
  wchar_t path[MAX_PATH] = L"";
  GetModuleFileNameW(winmm, path, MAX_PATH);
  EXPECT_EQ(_wcsnicmp(path, system, n), 0) << Utf8Of(path);
  EXPECT_NE(SystemRoutine<void*>(winmm, "timeBeginPeriod"), nullptr);
  EXPECT_EQ(SystemRoutine<void*>(winmm, "NoSuchRoutine"), nullptr);
  FreeLibrary(winmm);
  EXPECT_EQ(LoadSystemLibrary(L"spiralux-none.dll"), nullptr);

  // A library that lies only in the current folder: found by name until
  // the search is limited, never after.
  ScratchFolder folder("planted");
  std::wstring planted = WideOf(folder.File("spiralux-planted.dll"));
  ASSERT_TRUE(CopyFileW((std::wstring(system) + L"\\version.dll").c_str(), planted.c_str(), FALSE));
  wchar_t before[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, before);
  SetCurrentDirectoryW(WideOf(folder.Path()).c_str());
  HMODULE found = LoadLibraryW(L"spiralux-planted.dll");
  EXPECT_NE(found, nullptr) << "the current folder is searched by default";
  if (found) FreeLibrary(found);
  EXPECT_TRUE(UseSystemFolderForLibraries());
  HMODULE after = LoadLibraryW(L"spiralux-planted.dll");
  EXPECT_EQ(after, nullptr) << "loaded from the current folder";
  if (after) FreeLibrary(after);
  SetCurrentDirectoryW(before);
}

TEST(Launch, RunAndWaitQuotesThePathAndStartsInItsFolder) {
  ScratchFolder folder("launch");
  ASSERT_NO_FATAL_FAILURE(InstallPlayer(folder));
  PlayerLog log(folder, 300);
  EXPECT_EQ(RunAndWait(folder.File("SpiraMain.exe"), "-x", "", False32), True32);
  // Waited for: the player has written its last line.
  std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "start|\"" + folder.File("SpiraMain.exe") + "\" -x|" + folder.Path());
  EXPECT_EQ(lines[1], "end");
}

TEST(Launch, AGivenWorkingDirectoryIsUsed) {
  ScratchFolder folder("launch dir");
  ASSERT_NO_FATAL_FAILURE(InstallPlayer(folder));
  PlayerLog log(folder, 0);
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  EXPECT_TRUE(RunProgram(folder.File("SpiraMain.exe"), "", std::string(windows) + "\\", True32, True32));
  std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(lines[0].rfind('|') + 1), windows);
}

TEST(Launch, MissingProgramsAreFalseAtOnce) {
  EXPECT_EQ(RunAndWait("C:\\no such folder\\none.exe", "", "", False32), False32);
  EXPECT_EQ(ShellOpen("C:\\no such folder\\none.exe", "", "", False32), False32);
  EXPECT_EQ(RunProgram("C:\\no such folder\\none.exe", "", "", False32, False32), False32);
}
