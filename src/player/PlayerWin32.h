// PlayerWin32: the player's screen and its loop. One topmost window without
// caption or border over the whole virtual screen (every monitor); for each
// size of monitor a scene and a frame buffer that its frames are drawn into,
// copied onto every monitor of that size in one block transfer each
// (player/Layout.h); on a display with a hardware palette a palette of the
// player's own, realised in the window. When the display changes (a
// resolution, a monitor added or removed, another primary monitor, another
// DPI) the scenes are made anew for the new layout and the window moves over
// the new virtual screen, while the animation keeps its time. While the
// display is off the player draws nothing. Win32 build only.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "player/FrameClock.h"
#include "player/InputRules.h"
#include "player/Layout.h"
#include "player/Spiral.h"
#include "runtime/ScopedWin32.h"

// The player window's class and title.
extern const char* const PlayerClass;
extern const char* const PlayerTitle;

// A scene and its frame buffer of width x height pixels, selected into a
// memory DC: a top-down 32-bit DIB section on a true-colour display; on a
// palette display a device bitmap, whose pixels are the device's own values,
// so that neither Windows nor Wine translates a colour when a frame is put
// on the screen (an 8-bit DIB is translated through its colour table at
// every transfer).
struct PlayerFrame {
  PlayerFrame(HDC windowDC, int32_t width, int32_t height, bool indexed, HPALETTE palette);
  SpiralScene Scene;
  ScopedMemoryDC MemoryDC;
  ScopedSelectPalette PaletteSelected;
  // Where the frame is drawn: into the DIB section, or on a palette display
  // into Frame, which is copied into the device bitmap when the frame is put
  // on the screen. Null when the bitmap could not be made.
  uint8_t* Bits = nullptr;
  int32_t Stride = 0;
  // Bits holds a frame of Scene: the next one draws only what changes.
  bool Drawn = false;
  ScopedGdiObj<HBITMAP> Bitmap;
  std::vector<uint8_t> Frame;
  ScopedSelectObject BitmapSelected;
};

// What a layout is drawn with; made anew when the display changes. The
// palette is selected into the window's DC while the record lives.
struct PlayerScenes {
  PlayerLayout Layout;
  bool Indexed = false;  // the display has a palette
  SpiralPalette Colours;
  // Colours with each index turned into the device's pixel value for it,
  // which the frames are drawn with.
  SpiralPalette Device;
  ScopedGdiObj<HPALETTE> Palette;
  std::optional<ScopedSelectPalette> WindowPalette;
  std::deque<PlayerFrame> Frames;  // one per scene of the layout
};

struct PlayerScreen {
  HWND Window = nullptr;
  HDC WindowDC = nullptr;  // the class's own DC
  std::unique_ptr<PlayerScenes> Scenes;
  HPOWERNOTIFY DisplayNotice = nullptr;
  bool CursorHidden = false;
};

// Reads the monitors, sets their scenes and frame buffers up (every monitor
// its own spiral; when memory is short, only the primary one) and opens the
// window, shown, over the virtual screen with the first frame; the cursor is
// hidden. False when a step fails (what was made is released by
// PlayerClose).
bool PlayerOpen(PlayerScreen& screen);
// Makes the scenes anew for the display as it is now and moves the window
// over the virtual screen; the window is black until the next frame. False
// when not even the primary monitor's scene can be made.
bool PlayerRebuild(PlayerScreen& screen);
// Draws the animation at design time seconds into the frame buffers.
void PlayerDraw(PlayerScreen& screen, double seconds);
// Copies the frame buffers onto their monitors and waits until GDI has done
// it.
void PlayerPresent(PlayerScreen& screen);
// Destroys the window if it still exists, releases everything and shows the
// cursor again.
void PlayerClose(PlayerScreen& screen);

// Frames drawn and dropped so far; another thread may read them while the
// player runs.
struct PlayerStats {
  std::atomic<int64_t> Drawn{0}, Dropped{0};
};

// The player: opens the screen, draws a frame whenever one is due (every
// delayMs milliseconds, 1 to 40) until the window ends, the screen saver
// that started the player ends (when its parent process is one) or, when
// limitMs is above 0, that many milliseconds have passed, and closes the
// screen. While the display is off it waits for messages only. False when
// the screen could not be opened, or not made anew after a display change.
bool PlayerRun(int32_t delayMs, int32_t limitMs, PlayerStats* stats);
