// One whole preview paint at 152 x 112 under the display it runs on: the
// program's PaintPreview (load, scale, and on a palette device the reduction
// to 8 bits and the palette's realisation) drawing into the device context
// of a window of the miniature screen's size, the GDI work flushed.
#include <windows.h>

#include "Timing.h"
#include "image/DrawWin32.h"
#include "saver/SpiraRunWin32.h"

int main() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "SpiraluxPaintTiming";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "paint timing", WS_POPUP | WS_VISIBLE, 0, 0, 152, 112,
                                nullptr, nullptr, wc.hInstance, nullptr);
  HDC dc = GetDC(window);
  Qssaver saver;
  saver.Width = 152;
  saver.Height = 112;
  saver.DC = dc;
  Report(DeviceHasPalette(dc) ? "preview paint, palette display" : "preview paint, true-colour display",
         MedianMicros(
             [&] {
               PaintPreview(&saver);
               GdiFlush();
             },
             100));
  ReleaseDC(window, dc);
  DestroyWindow(window);
  return 0;
}
