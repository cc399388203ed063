// playerprobe: what the Wine tests of the player ask Windows about its
// window, printed one fact a line, and the WM_CLOSE they send it.
//   playerprobe window    the player window's rectangle, styles and the
//                         virtual screen ("none" when there is no window)
//   playerprobe close     posts WM_CLOSE to the player window
//   playerprobe delay     the frame delay that the player reads
//                         (GetFrameDelay), printed and as the exit code
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/Common1Win32.h"
#include "player/PlayerWin32.h"

namespace {

int Window() {
  HWND w = FindWindowA(PlayerClass, PlayerTitle);
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

int Close() {
  HWND w = FindWindowA(PlayerClass, PlayerTitle);
  return w && PostMessageA(w, WM_CLOSE, 0, 0) ? 0 : 1;
}

int Delay() {
  int delay = GetFrameDelay();
  std::printf("delay %d\n", delay);
  return delay;
}

}  // namespace

int main(int argc, char** argv) {
  const char* what = argc > 1 ? argv[1] : "";
  int rc = std::strcmp(what, "window") == 0 ? Window()
           : std::strcmp(what, "close") == 0 ? Close()
           : std::strcmp(what, "delay") == 0 ? Delay()
                                             : 2;
  std::fflush(stdout);
  return rc;
}
