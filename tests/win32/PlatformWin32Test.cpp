// The instance guard, DirExists and launching on Wine.
#include "WinTest.h"
#include "platform/InstanceWin32.h"
#include "platform/LaunchWin32.h"
#include "platform/RoutinesWin32.h"

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
