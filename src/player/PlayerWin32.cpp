// PlayerWin32: the window, the frame buffer, the palette and the loop.
#include "player/PlayerWin32.h"

#include <windowsx.h>

#include <vector>

#include "runtime/SystemWin32.h"

const char* const PlayerClass = "SpiraMain_Player";
const char* const PlayerTitle = "Spiralux";

namespace {

// What the window procedure knows of its window; there is one window.
struct WindowState {
  InputRules Input;
  bool Active = false;    // activated since it appeared
  PlayerScreen* Screen = nullptr;
} state;

int64_t Microseconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return int64_t(now.QuadPart / frequency.QuadPart * 1000000 +
                 now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}

// The device's pixel value of each of the palette's indices, as GDI gives
// them with the palette realised: a row of the 256 indices set into a device
// bitmap of one row through the palette, and read back; Device is Colours
// with its map turned into those values.
void MatchDevice(PlayerScreen& s) {
  uint8_t row[256], device[256];
  for (int32_t i = 0; i < 256; ++i) row[i] = uint8_t(i);
  std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(WORD), 0);
  BITMAPINFO* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
  bmi->bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 256, 1, 1, 8, BI_RGB, 0, 0, 0, 256, 0};
  WORD* index = reinterpret_cast<WORD*>(bmi->bmiColors);
  for (int32_t i = 0; i < 256; ++i) index[i] = WORD(i < s.Colours.Count ? i : 0);
  HBITMAP probe = CreateCompatibleBitmap(s.WindowDC, 256, 1);
  const bool read = probe && SetDIBits(s.MemoryDC, probe, 0, 1, row, bmi, DIB_PAL_COLORS) == 1 &&
                    GetBitmapBits(probe, sizeof device, device) == LONG(sizeof device);
  if (probe) DeleteObject(probe);
  s.Device = s.Colours;
  if (read)
    for (uint8_t& k : s.Device.Index15) k = device[k];
}

void RealizeOwnPalette(PlayerScreen& s) {
  if (!s.Palette || !s.WindowDC) return;
  SelectPalette(s.WindowDC, s.Palette, FALSE);
  RealizePalette(s.WindowDC);
  if (s.MemoryDC) MatchDevice(s);
}

void End(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

bool EndsOn(HWND window, InputKind kind, LPARAM lParam) {
  if (!InputEnds(state.Input, kind, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))) return false;
  End(window);
  return true;
}

LRESULT CALLBACK PlayerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE:
      EndsOn(window, InputKind::MouseMove, lParam);
      return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      EndsOn(window, InputKind::Key, 0);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
      EndsOn(window, InputKind::Button, 0);
      return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
      EndsOn(window, InputKind::Wheel, 0);
      return 0;
    case WM_ACTIVATEAPP:
      // Another program taking over ends the player; the first activation
      // only arms the rule.
      if (wParam)
        state.Active = true;
      else if (state.Active)
        End(window);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_SCREENSAVE:  // already the screen saver
          return 0;
        case SC_CLOSE:
          End(window);
          return 0;
        default:
          return DefWindowProcA(window, message, wParam, lParam);
      }
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) DestroyWindow(window);
      return 0;
    case WM_SETCURSOR:
      SetCursor(nullptr);
      return TRUE;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      if (state.Screen && state.Screen->MemoryDC)
        BitBlt(state.Screen->WindowDC, 0, 0, state.Screen->Width, state.Screen->Height,
               state.Screen->MemoryDC, 0, 0, SRCCOPY);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_QUERYNEWPALETTE:
      if (state.Screen) RealizeOwnPalette(*state.Screen);
      return TRUE;
    case WM_PALETTECHANGED:
      if (state.Screen && HWND(wParam) != window) RealizeOwnPalette(*state.Screen);
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (state.Screen) state.Screen->Window = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

// The frame's bitmap. On a true-colour display a DIB section of the
// screen's size, top-down, 32 bits, drawn into directly. On a palette
// display a device bitmap, whose pixels are the device's own values, copied
// in from Frame: neither Windows nor Wine then translates a colour when a
// frame is put on the screen, where an 8-bit DIB is translated through its
// colour table at every transfer.
bool MakeFrame(PlayerScreen& s) {
  if (s.Indexed) {
    s.Bitmap = CreateCompatibleBitmap(s.WindowDC, s.Width, s.Height);
    BITMAP b;
    if (!s.Bitmap || GetObjectA(s.Bitmap, sizeof b, &b) != sizeof b || b.bmBitsPixel != 8) return false;
    s.Stride = b.bmWidthBytes;
    s.Frame.assign(size_t(s.Stride) * size_t(s.Height), 0);
    s.Bits = s.Frame.data();
  } else {
    BITMAPINFO bmi{};
    bmi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), s.Width, -s.Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    s.Bitmap = CreateDIBSection(s.MemoryDC, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!s.Bitmap) return false;
    s.Bits = static_cast<uint8_t*>(bits);
    s.Stride = s.Width * 4;
  }
  s.OldBitmap = static_cast<HBITMAP>(SelectObject(s.MemoryDC, s.Bitmap));
  return true;
}

// The player's logical palette: its colours, then the rest of the system
// palette's free entries unused.
HPALETTE MakePalette(const SpiralPalette& colours) {
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY), 0);
  LOGPALETTE* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = WORD(colours.Count);
  for (int32_t i = 0; i < colours.Count; ++i) {
    const PaletteEntry& e = colours.Colours[i];
    lp->palPalEntry[i] = PALETTEENTRY{e.Red, e.Green, e.Blue, PC_NOCOLLAPSE};
  }
  return CreatePalette(lp);
}

}  // namespace

bool PlayerOpen(PlayerScreen& s) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  s.Left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  s.Top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  s.Width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  s.Height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  int32_t primaryWidth = GetSystemMetrics(SM_CXSCREEN), primaryHeight = GetSystemMetrics(SM_CYSCREEN);
  if (s.Width <= 0 || s.Height <= 0) {
    s.Left = s.Top = 0;
    s.Width = primaryWidth;
    s.Height = primaryHeight;
  }
  if (s.Width <= 0 || s.Height <= 0 || primaryHeight <= 0) return false;

  HDC screenDC = GetDC(nullptr);
  if (!screenDC) return false;
  s.Indexed = (GetDeviceCaps(screenDC, RASTERCAPS) & RC_PALETTE) != 0;
  int32_t free = GetDeviceCaps(screenDC, SIZEPALETTE) - GetDeviceCaps(screenDC, NUMRESERVED);
  ReleaseDC(nullptr, screenDC);

  // The spiral sits in the middle of the primary monitor, whose top-left
  // corner is (0, 0) of the screen, and is scaled to its height.
  SpiralPlacement place = {primaryWidth * 0.5 - s.Left, primaryHeight * 0.5 - s.Top, primaryHeight * 0.5};
  try {
    SpiralSetUp(s.Scene, s.Width, s.Height, place);
    if (s.Indexed) SpiralBuildPalette(s.Colours, free < 2 ? 2 : free > 256 ? 256 : free);
  } catch (...) {
    return false;
  }

  WNDCLASSA wc{};
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = PlayerProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, "MAINICON");
  wc.lpszClassName = PlayerClass;
  RegisterClassA(&wc);

  state = WindowState{};
  state.Screen = &s;
  s.Window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, PlayerClass, PlayerTitle, WS_POPUP, s.Left,
                             s.Top, s.Width, s.Height, nullptr, nullptr, instance, nullptr);
  if (!s.Window) return false;
  s.WindowDC = GetDC(s.Window);
  s.MemoryDC = CreateCompatibleDC(s.WindowDC);
  if (!s.WindowDC || !s.MemoryDC) return false;
  if (s.Indexed) {
    s.Palette = MakePalette(s.Colours);
    if (!s.Palette) return false;
    SelectPalette(s.MemoryDC, s.Palette, FALSE);
    RealizeOwnPalette(s);
  }
  if (!MakeFrame(s)) return false;

  // The first frame is in place before the window shows.
  PlayerDraw(s, 0);
  ShowCursor(FALSE);
  s.CursorHidden = true;
  ShowWindow(s.Window, SW_SHOW);
  SetForegroundWindow(s.Window);
  UpdateWindow(s.Window);
  return true;
}

void PlayerDraw(PlayerScreen& s, double seconds) {
  if (s.Indexed)
    SpiralRender8(s.Scene, s.Device, seconds, s.Bits, s.Stride);
  else
    SpiralRender32(s.Scene, seconds, s.Bits, s.Stride);
}

void PlayerPresent(PlayerScreen& s) {
  if (s.Indexed) SetBitmapBits(s.Bitmap, DWORD(s.Frame.size()), s.Bits);
  BitBlt(s.WindowDC, 0, 0, s.Width, s.Height, s.MemoryDC, 0, 0, SRCCOPY);
  GdiFlush();
}

void PlayerClose(PlayerScreen& s) {
  if (s.Window) DestroyWindow(s.Window);
  s.Window = nullptr;
  if (s.MemoryDC) {
    if (s.OldBitmap) SelectObject(s.MemoryDC, s.OldBitmap);
    DeleteDC(s.MemoryDC);
  }
  if (s.Bitmap) DeleteObject(s.Bitmap);
  if (s.Palette) DeleteObject(s.Palette);
  s.MemoryDC = nullptr;
  s.Bitmap = s.OldBitmap = nullptr;
  s.Frame.clear();
  s.Palette = nullptr;
  s.WindowDC = nullptr;  // the class's own DC went with the window
  s.Bits = nullptr;
  if (s.CursorHidden) ShowCursor(TRUE);
  s.CursorHidden = false;
  state.Screen = nullptr;
  UnregisterClassA(PlayerClass, GetModuleHandleA(nullptr));
}

bool PlayerRun(int32_t delayMs, int32_t limitMs, PlayerStats* stats) {
  PlayerScreen screen;
  bool opened = PlayerOpen(screen);
  // Sleeps end on the millisecond, not on the system's default tick.
  ScopedTimerPeriod period;
  FrameClock clock;
  ClockStart(clock, Microseconds(), delayMs);
  ClockTake(clock, clock.Start);  // frame 0 is on the screen already
  int64_t stop = limitMs > 0 ? clock.Start + int64_t(limitMs) * 1000 : INT64_MAX;
  bool running = opened;
  while (running) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) running = false;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (!running || !screen.Window) break;
    int64_t now = Microseconds();
    if (now >= stop) break;
    int64_t frame = ClockTake(clock, now);
    if (frame >= 0) {
      PlayerDraw(screen, double(frame) * SpiralSecondsPerFrame);
      PlayerPresent(screen);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(ClockWaitMs(ClockWait(clock, now))), QS_ALLINPUT);
    }
  }
  PlayerClose(screen);
  if (stats) {
    stats->Drawn = clock.Drawn;
    stats->Dropped = clock.Dropped;
  }
  return opened;
}
