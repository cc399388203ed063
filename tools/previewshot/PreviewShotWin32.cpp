// previewshot: the preview as the miniature screen of Display Properties
// shows it, for the README's screenshots (scripts/screenshots). Wine does
// not put on the screen what a child window of another process paints, so
// the miniature screen is a 152 x 112 popup window of this process, at the
// top-left corner of the display, on a thread of its own; the preview runs
// in it on the main thread with the program's PaintPreview. After the first
// paint the program prints "painted" and keeps the preview up for the given
// number of seconds.
//
//   previewshot [SECONDS]      (default 10)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "saver/SSaverWin32.h"
#include "saver/SpiraRunWin32.h"

namespace {

constexpr int MiniWidth = 152, MiniHeight = 112;
UINT stayMs = 10000;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

void CALLBACK End(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  PostQuitMessage(0);
}

void PaintAndTell(Qssaver* saver) {
  static bool told = false;
  PaintPreview(saver);
  if (told) return;
  told = true;
  std::printf("painted\n");
  std::fflush(stdout);
  SetTimer(nullptr, 0, stayMs, End);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) stayMs = UINT(std::atoi(argv[1])) * 1000;
  HWND host = nullptr;
  HANDLE made = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread hostThread([&] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "SpiraluxMiniature";
    RegisterClassA(&wc);
    host = CreateWindowExA(0, wc.lpszClassName, "Spiralux preview", WS_POPUP | WS_VISIBLE, 0, 0, MiniWidth,
                           MiniHeight, nullptr, nullptr, wc.hInstance, nullptr);
    SetEvent(made);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  });
  WaitForSingleObject(made, INFINITE);
  CloseHandle(made);

  Qssaver saver;
  saver.CommandLine = "previewshot /p " + std::to_string(uintptr_t(host));
  SaverSetOnPaint(&saver, PaintAndTell);
  SaverDispatch(&saver, {nullptr, SaverPreview});
  // The preview window first, from its own thread; then the host.
  if (saver.PreviewWindow) DestroyWindow(saver.PreviewWindow);
  PostMessageA(host, WM_CLOSE, 0, 0);
  hostThread.join();
  return 0;
}
