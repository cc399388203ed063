// playerprobe: what the Wine tests of the player ask Windows about its
// window and its desktop, printed one fact a line, and what they do to it
// that Wine cannot do for them.
//   playerprobe window      the player window's rectangle, styles and the
//                           virtual screen ("none" when there is no window)
//   playerprobe monitors    each monitor's rectangle, "primary" after the
//                           primary one
//   playerprobe close       posts WM_CLOSE to the player window
//   playerprobe delay       the frame delay that the player reads
//                           (GetFrameDelay), printed and as the exit code
//   playerprobe launch PLAYER  starts the program PLAYER and waits for it:
//                           copied under a .scr name, a screen saver that
//                           starts the player in no job object
//   playerprobe end-parent  ends the process that started the player (its
//                           screen saver) with TerminateProcess, as Windows
//                           does, and tells whether the player ended within
//                           2 s after it and when
//   playerprobe mode W H    changes the display's resolution, as the
//                           display settings do
//   playerprobe rest STATE...  plays the player in this process and tells
//                           it, one STATE (off, on or dimmed) every three
//                           seconds, that the console display is in that
//                           state, as Windows does (Wine sends no such
//                           notices); prints per state the frames drawn
//                           and the processor time taken in its last 2.5 s
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/Common1Win32.h"
#include "player/PlayerWin32.h"

namespace {

HWND Player() { return FindWindowA(PlayerClass, PlayerTitle); }

// The player window of this process (another copy may be playing too).
HWND OwnPlayer() {
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, PlayerClass, PlayerTitle));) {
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process == GetCurrentProcessId()) return w;
  }
  return nullptr;
}

int Window() {
  HWND w = Player();
  if (!w) {
    std::printf("none\n");
    return 1;
  }
  RECT r;
  GetWindowRect(w, &r);
  LONG style = GetWindowLongA(w, GWL_STYLE), exStyle = GetWindowLongA(w, GWL_EXSTYLE);
  std::printf("rect %ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::printf("virtual %d %d %d %d\n", GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
              GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
  std::printf("topmost %d\n", (exStyle & WS_EX_TOPMOST) ? 1 : 0);
  std::printf("caption %d\n", (style & (WS_CAPTION | WS_THICKFRAME | WS_BORDER)) ? 1 : 0);
  std::printf("visible %d\n", IsWindowVisible(w) ? 1 : 0);
  return 0;
}

BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoA(monitor, &info);
  const RECT& r = info.rcMonitor;
  std::printf("monitor %ld %ld %ld %ld%s\n", r.left, r.top, r.right - r.left, r.bottom - r.top,
              (info.dwFlags & MONITORINFOF_PRIMARY) ? " primary" : "");
  return TRUE;
}

int Monitors() { return EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0) ? 0 : 1; }

int Close() {
  HWND w = Player();
  return w && PostMessageA(w, WM_CLOSE, 0, 0) ? 0 : 1;
}

int Delay() {
  int delay = GetFrameDelay();
  std::printf("delay %d\n", delay);
  return delay;
}

DWORD ParentOf(DWORD process) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  DWORD parent = 0;
  for (BOOL more = Process32First(snapshot, &e); more; more = Process32Next(snapshot, &e))
    if (e.th32ProcessID == process) parent = e.th32ParentProcessID;
  CloseHandle(snapshot);
  return parent;
}

int EndParent() {
  DWORD playerId = 0;
  if (HWND w = Player()) GetWindowThreadProcessId(w, &playerId);
  HANDLE player = playerId ? OpenProcess(SYNCHRONIZE, FALSE, playerId) : nullptr;
  const DWORD parentId = playerId ? ParentOf(playerId) : 0;
  HANDLE parent = parentId ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, parentId) : nullptr;
  if (!player || !parent) {
    std::printf("no %s (player process %lu, its parent %lu)\n", player ? "parent" : "player", playerId, parentId);
    return 1;
  }
  TerminateProcess(parent, 1);
  WaitForSingleObject(parent, 10000);
  const DWORD start = GetTickCount();
  const bool ended = WaitForSingleObject(player, 2000) == WAIT_OBJECT_0;
  std::printf("player %s %lu ms after its parent\n", ended ? "ended" : "still plays", GetTickCount() - start);
  CloseHandle(parent);
  CloseHandle(player);
  return ended ? 0 : 1;
}

int Launch(const char* program) {
  std::string commandLine = std::string("\"") + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
    return 1;
  WaitForSingleObject(child.hProcess, INFINITE);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return 0;
}

int Mode(int32_t width, int32_t height) {
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = DWORD(width);
  mode.dmPelsHeight = DWORD(height);
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  LONG rc = ChangeDisplaySettingsExA(nullptr, &mode, nullptr, 0, nullptr);
  std::printf("mode %dx%d: %ld\n", width, height, rc);
  return rc == DISP_CHANGE_SUCCESSFUL ? 0 : 1;
}

double ProcessorMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) { return double(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e4; };
  return ms(kernel) + ms(user);
}

// The notice Windows sends: GUID_CONSOLE_DISPLAY_STATE with its DWORD.
struct DisplayNotice {
  GUID PowerSetting;
  DWORD DataLength;
  DWORD Data;
};

int Rest(int count, char** states) {
  PlayerStats stats;
  std::thread watcher([&] {
    HWND w = nullptr;
    for (int i = 0; i < 600 && !(w = OwnPlayer()); ++i) Sleep(100);
    if (!w) return;
    Sleep(1000);  // the first frames
    for (int i = 0; i < count; ++i) {
      const DWORD data = std::strcmp(states[i], "off") == 0 ? 0 : std::strcmp(states[i], "dimmed") == 0 ? 2 : 1;
      DisplayNotice notice{GUID_CONSOLE_DISPLAY_STATE, sizeof(DWORD), data};
      SendMessageA(w, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, LPARAM(&notice));
      std::printf("state %s\n", states[i]);
      std::fflush(stdout);
      Sleep(500);
      const int64_t drawn = stats.Drawn;
      const double cpu = ProcessorMs();
      Sleep(2500);
      std::printf("%s drawn %lld processor %.0f ms\n", states[i], (long long)(stats.Drawn - drawn),
                  ProcessorMs() - cpu);
      std::fflush(stdout);
    }
    PostMessageA(w, WM_CLOSE, 0, 0);
  });
  const bool shown = PlayerRun(17, 120000, &stats);
  watcher.join();
  return shown ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* what = argc > 1 ? argv[1] : "";
  int rc = std::strcmp(what, "window") == 0     ? Window()
           : std::strcmp(what, "monitors") == 0 ? Monitors()
           : std::strcmp(what, "close") == 0    ? Close()
           : std::strcmp(what, "delay") == 0    ? Delay()
           : std::strcmp(what, "end-parent") == 0 ? EndParent()
           : std::strcmp(what, "launch") == 0 && argc == 3 ? Launch(argv[2])
           : std::strcmp(what, "mode") == 0 && argc == 4 ? Mode(std::atoi(argv[2]), std::atoi(argv[3]))
           : std::strcmp(what, "rest") == 0      ? Rest(argc - 2, argv + 2)
                                                 : 2;
  std::fflush(stdout);
  return rc;
}
