// PlayerWin32: the window, the frame buffers, the palette and the loop.
#include "player/PlayerWin32.h"

#include <tlhelp32.h>
#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "player/Parent.h"
#include "runtime/SystemWin32.h"

const char* const PlayerClass = "SpiraMain_Player";
const char* const PlayerTitle = "Spiralux";

namespace {

// What the window procedure knows of its window; there is one window.
struct WindowState {
  InputRules Input;
  bool Active = false;          // activated since it appeared
  bool DisplayChanged = false;  // the scenes are to be made anew
  bool DisplayOff = false;
  PlayerScreen* Screen = nullptr;
} state;

// A LOGPALETTE with room for 256 colours.
struct LogPalette256 {
  WORD Version, Count;
  PALETTEENTRY Entries[256];
};

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
void MatchDevice(PlayerScenes& s, HDC windowDC) {
  s.Device = s.Colours;
  if (s.Frames.empty()) return;
  struct {
    BITMAPINFOHEADER Header;
    WORD Index[256];
  } info{{sizeof(BITMAPINFOHEADER), 256, 1, 1, 8, BI_RGB, 0, 0, 0, 256, 0}, {}};
  uint8_t row[256], device[256];
  for (int32_t i = 0; i < 256; ++i) {
    row[i] = uint8_t(i);
    info.Index[i] = WORD(i < s.Colours.Count ? i : 0);
  }
  ScopedGdiObj<HBITMAP> probe(CreateCompatibleBitmap(windowDC, 256, 1));
  if (probe &&
      SetDIBits(s.Frames.front().MemoryDC, probe, 0, 1, row, reinterpret_cast<const BITMAPINFO*>(&info),
                DIB_PAL_COLORS) == 1 &&
      GetBitmapBits(probe, sizeof device, device) == LONG(sizeof device))
    for (uint8_t& k : s.Device.Index15) k = device[k];
}

void RealizeOwnPalette(PlayerScreen& s) {
  if (!s.Scenes || !s.Scenes->Palette || !s.WindowDC) return;
  SelectPalette(s.WindowDC, s.Scenes->Palette, FALSE);
  RealizePalette(s.WindowDC);
  MatchDevice(*s.Scenes, s.WindowDC);
}

// Black wherever no spiral is drawn (monitors without a scene, and the parts
// of the virtual screen that no monitor shows), then the spirals.
void Paint(PlayerScreen& s) {
  RECT all;
  GetClientRect(s.Window, &all);
  SaveDC(s.WindowDC);
  if (s.Scenes)
    for (const LayoutView& v : s.Scenes->Layout.Views)
      if (v.Scene >= 0)
        ExcludeClipRect(s.WindowDC, v.Place.Left, v.Place.Top, v.Place.Left + v.Place.Width,
                        v.Place.Top + v.Place.Height);
  PatBlt(s.WindowDC, 0, 0, all.right, all.bottom, BLACKNESS);
  RestoreDC(s.WindowDC, -1);
  PlayerPresent(s);
}

// The console display's state from a power setting notice: off, on or
// dimmed (which still shows the frames).
void NoteDisplayState(const POWERBROADCAST_SETTING& setting) {
  if (IsEqualGUID(setting.PowerSetting, GUID_CONSOLE_DISPLAY_STATE) && setting.DataLength >= sizeof(DWORD))
    state.DisplayOff = *reinterpret_cast<const DWORD*>(setting.Data) == 0;
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
    case WM_DISPLAYCHANGE:
    case WM_DPICHANGED:
      // The loop makes the scenes anew once the messages of the change are
      // handled; the window's new place is the new virtual screen, not the
      // rectangle a DPI change suggests.
      state.DisplayChanged = true;
      return 0;
    case WM_POWERBROADCAST:
      if (wParam == PBT_POWERSETTINGCHANGE && lParam)
        NoteDisplayState(*reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam));
      return TRUE;
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
      if (state.Screen && state.Screen->WindowDC) Paint(*state.Screen);
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

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  const RECT& r = info.rcMonitor;
  try {
    reinterpret_cast<std::vector<LayoutMonitor>*>(list)->push_back(LayoutMonitor{
        {r.left, r.top, r.right - r.left, r.bottom - r.top}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  } catch (const std::exception&) {
    return FALSE;  // the monitors read so far make the layout
  }
  return TRUE;
}

// The scenes of a layout with their frame buffers and, on a display with a
// palette, the palette of colours colours. Null when GDI cannot make an
// object; raises EMon (or std::bad_alloc) when memory is short.
std::unique_ptr<PlayerScenes> ScenesFor(HDC windowDC, const PlayerLayout& layout, bool indexed,
                                        int32_t colours) {
  auto s = std::make_unique<PlayerScenes>();
  s->Layout = layout;
  s->Indexed = indexed;
  if (indexed) {
    SpiralBuildPalette(s->Colours, colours);
    // The player's colours, then the rest of the system palette's free
    // entries unused.
    LogPalette256 lp{};
    lp.Version = 0x300;
    lp.Count = WORD(s->Colours.Count);
    for (int32_t i = 0; i < s->Colours.Count; ++i) {
      const PaletteEntry& e = s->Colours.Colours[i];
      lp.Entries[i] = PALETTEENTRY{e.Red, e.Green, e.Blue, PC_NOCOLLAPSE};
    }
    s->Palette.Reset(CreatePalette(reinterpret_cast<const LOGPALETTE*>(&lp)));
    if (!s->Palette) return nullptr;
    s->WindowPalette.emplace(windowDC, s->Palette, false);
    RealizePalette(windowDC);
  }
  for (const LayoutSize& size : layout.Scenes) {
    PlayerFrame& frame = s->Frames.emplace_back(windowDC, size.Width, size.Height, indexed, s->Palette);
    if (!frame.Bits) return nullptr;
    SpiralSetUp(frame.Scene, size.Width, size.Height, SpiralScreenPlacement(size.Width, size.Height));
  }
  if (indexed) MatchDevice(*s, windowDC);
  return s;
}

// The scenes for the display as it is now: every monitor's, or only the
// primary monitor's when they do not all fit in memory; and the window over
// the virtual screen. False when not even the primary monitor's can be made.
bool MakeScenes(PlayerScreen& s) {
  std::vector<LayoutMonitor> monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, LPARAM(&monitors));
  if (monitors.empty())
    monitors.push_back(LayoutMonitor{{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, true});
  const LayoutRect screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                          GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  ScopedGetDC screenDC(nullptr);
  if (!screenDC) return false;
  const bool indexed = (GetDeviceCaps(screenDC, RASTERCAPS) & RC_PALETTE) != 0;
  const int32_t colours =
      LayoutPaletteColours(GetDeviceCaps(screenDC, SIZEPALETTE), GetDeviceCaps(screenDC, NUMRESERVED));
  for (LayoutCover cover : {LayoutCover::EveryMonitor, LayoutCover::PrimaryOnly}) {
    const PlayerLayout layout = LayoutDesktop(screen, monitors, cover);
    if (layout.Window.Width <= 0) return false;
    try {
      s.Scenes = ScenesFor(s.WindowDC, layout, indexed, colours);
    } catch (const std::exception&) {
      // Memory is short: what was made is gone, and the next cover asks less.
    }
    if (s.Scenes) break;
  }
  if (!s.Scenes) return false;
  const LayoutRect& w = s.Scenes->Layout.Window;
  SetWindowPos(s.Window, nullptr, w.Left, w.Top, w.Width, w.Height, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(s.Window, nullptr, FALSE);
  return true;
}

// The screen saver that started the player, opened for waiting on it: the
// parent process, when its program file is a screen saver and it began
// before the player (a process's id is given to another process once it has
// ended). Null for a player started in any other way.
HANDLE OpenSaverParent() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return nullptr;
  ScopedHandle owner(snapshot);
  const DWORD self = GetCurrentProcessId();
  DWORD parent = 0;
  std::string image;
  PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  for (BOOL more = Process32First(snapshot, &e); more; more = Process32Next(snapshot, &e))
    if (e.th32ProcessID == self) parent = e.th32ParentProcessID;
  for (BOOL more = parent && Process32First(snapshot, &e); more; more = Process32Next(snapshot, &e))
    if (e.th32ProcessID == parent) image = e.szExeFile;
  if (!ParentIsScreenSaver(image)) return nullptr;
  ScopedHandle saver(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent));
  FILETIME created[2], unused[3];
  if (!saver || !GetProcessTimes(saver.get(), &created[0], &unused[0], &unused[1], &unused[2]) ||
      !GetProcessTimes(GetCurrentProcess(), &created[1], &unused[0], &unused[1], &unused[2]) ||
      CompareFileTime(&created[0], &created[1]) > 0)
    return nullptr;
  return saver.release();
}

// A frame's bitmap (PlayerFrame); bits receives a DIB section's pixels.
HBITMAP MakeBitmap(HDC windowDC, HDC memoryDC, int32_t width, int32_t height, bool indexed, uint8_t*& bits) {
  if (!memoryDC) return nullptr;
  if (indexed) return CreateCompatibleBitmap(windowDC, width, height);
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  return CreateDIBSection(memoryDC, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
}

}  // namespace

PlayerFrame::PlayerFrame(HDC windowDC, int32_t width, int32_t height, bool indexed, HPALETTE palette)
    : MemoryDC(windowDC),
      PaletteSelected(MemoryDC, palette, false),
      Bitmap(MakeBitmap(windowDC, MemoryDC, width, height, indexed, Bits)),
      BitmapSelected(MemoryDC, Bitmap) {
  BITMAP b;
  if (!Bitmap) {
    Bits = nullptr;
  } else if (!indexed) {
    Stride = width * 4;
  } else if (GetObjectA(Bitmap, sizeof b, &b) == sizeof b && b.bmBitsPixel == 8) {
    Stride = b.bmWidthBytes;
    Frame.assign(size_t(Stride) * size_t(height), 0);
    Bits = Frame.data();
  }
}

bool PlayerOpen(PlayerScreen& s) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = PlayerProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, "MAINICON");
  wc.lpszClassName = PlayerClass;
  RegisterClassA(&wc);

  state = WindowState{};
  state.Screen = &s;
  s.Window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, PlayerClass, PlayerTitle, WS_POPUP, 0, 0, 1, 1,
                             nullptr, nullptr, instance, nullptr);
  if (!s.Window) return false;
  s.WindowDC = GetDC(s.Window);
  if (!s.WindowDC || !MakeScenes(s)) return false;
  s.DisplayNotice =
      RegisterPowerSettingNotification(s.Window, &GUID_CONSOLE_DISPLAY_STATE, DEVICE_NOTIFY_WINDOW_HANDLE);

  // The first frame is in place before the window shows.
  PlayerDraw(s, 0);
  ShowCursor(FALSE);
  s.CursorHidden = true;
  ShowWindow(s.Window, SW_SHOW);
  SetForegroundWindow(s.Window);
  UpdateWindow(s.Window);
  return true;
}

bool PlayerRebuild(PlayerScreen& s) {
  s.Scenes.reset();  // first, so that the new scenes have its memory
  // The window moves under the resting cursor: its next mouse message only
  // tells where the mouse is.
  state.Input = InputRules{};
  return MakeScenes(s);
}

void PlayerDraw(PlayerScreen& s, double seconds) {
  if (!s.Scenes) return;
  for (PlayerFrame& f : s.Scenes->Frames) {
    // Only the renderer writes into a frame's bits.
    const SpiralDraw draw = f.Drawn ? SpiralDraw::Changes : SpiralDraw::Whole;
    if (s.Scenes->Indexed)
      SpiralRender8(f.Scene, s.Scenes->Device, seconds, f.Bits, f.Stride, draw);
    else
      SpiralRender32(f.Scene, seconds, f.Bits, f.Stride, draw);
    f.Drawn = true;
  }
}

void PlayerPresent(PlayerScreen& s) {
  if (!s.Scenes) return;
  if (s.Scenes->Indexed)
    for (PlayerFrame& f : s.Scenes->Frames) SetBitmapBits(f.Bitmap, DWORD(f.Frame.size()), f.Bits);
  for (const LayoutView& v : s.Scenes->Layout.Views)
    if (v.Scene >= 0)
      BitBlt(s.WindowDC, v.Place.Left, v.Place.Top, v.Place.Width, v.Place.Height,
             s.Scenes->Frames[size_t(v.Scene)].MemoryDC, 0, 0, SRCCOPY);
  GdiFlush();
}

void PlayerClose(PlayerScreen& s) {
  s.Scenes.reset();
  if (s.DisplayNotice) UnregisterPowerSettingNotification(s.DisplayNotice);
  s.DisplayNotice = nullptr;
  if (s.Window) DestroyWindow(s.Window);
  s.Window = nullptr;
  s.WindowDC = nullptr;  // the class's own DC went with the window
  if (s.CursorHidden) ShowCursor(TRUE);
  s.CursorHidden = false;
  state.Screen = nullptr;
  UnregisterClassA(PlayerClass, GetModuleHandleA(nullptr));
}

bool PlayerRun(int32_t delayMs, int32_t limitMs, PlayerStats* stats) {
  ScopedHandle saver(OpenSaverParent());
  HANDLE waits[1] = {saver.get()};
  const DWORD waitCount = saver ? 1 : 0;
  PlayerScreen screen;
  bool shown = PlayerOpen(screen);
  // Sleeps end on the millisecond, not on the system's default tick.
  ScopedTimerPeriod period;
  FrameClock clock;
  ClockStart(clock, Microseconds(), delayMs);
  ClockTake(clock, clock.Start);  // frame 0 is on the screen already
  const int64_t stop = limitMs > 0 ? clock.Start + int64_t(limitMs) * 1000 : INT64_MAX;
  bool resting = false, running = shown;
  while (running) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) running = false;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (!running || !screen.Window) break;
    if (state.DisplayChanged) {
      state.DisplayChanged = false;
      if (!PlayerRebuild(screen)) {
        shown = false;
        break;
      }
    }
    int64_t now = Microseconds();
    if (now >= stop) break;
    if (resting != state.DisplayOff) {
      resting = state.DisplayOff;
      if (!resting) ClockSkip(clock, now);  // on from the current time
    }
    const int64_t frame = resting ? -1 : ClockTake(clock, now);
    if (frame >= 0) {
      PlayerDraw(screen, double(frame) * SpiralSecondsPerFrame);
      PlayerPresent(screen);
      if (stats) {
        stats->Drawn = clock.Drawn;
        stats->Dropped = clock.Dropped;
      }
      now = Microseconds();
    }
    // The wait lasts until the next frame is due (none when drawing made it
    // late), and while the display is off until a message comes; a message
    // that came while the frame was drawn ends it at once. So a frame costs
    // one wait and one look at the queue, which under Wine are each a round
    // trip to its server.
    DWORD wait = resting ? INFINITE : DWORD(ClockWaitMs(ClockWait(clock, now)));
    if (stop != INT64_MAX) wait = std::min<DWORD>(wait, DWORD(ClockWaitMs(stop - now)));
    if (MsgWaitForMultipleObjects(waitCount, waits, FALSE, wait, QS_ALLINPUT) == WAIT_OBJECT_0 && waitCount)
      break;  // the saver has ended
  }
  PlayerClose(screen);
  if (stats) {
    stats->Drawn = clock.Drawn;
    stats->Dropped = clock.Dropped;
  }
  return shown;
}
