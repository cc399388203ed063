// PlayerWin32: the player's screen and its loop. One topmost window without
// caption or border over the whole virtual screen (every monitor), a frame
// buffer that each frame is drawn into and copied from in one block
// transfer, and on a display with a hardware palette a palette of the
// player's own, created and realised once. Win32 build only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "player/FrameClock.h"
#include "player/InputRules.h"
#include "player/Spiral.h"

// The player window's class and title.
extern const char* const PlayerClass;
extern const char* const PlayerTitle;

struct PlayerScreen {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;  // the virtual screen
  bool Indexed = false;                              // the display has a palette
  SpiralScene Scene;
  SpiralPalette Colours;
  // On a palette display: Colours with each index turned into the device's
  // pixel value for it, which the frames are drawn with.
  SpiralPalette Device;
  HWND Window = nullptr;
  HDC WindowDC = nullptr;                            // the class's own DC
  HDC MemoryDC = nullptr;
  // The frame's bitmap: a 32-bit DIB section that Bits points into, or on a
  // palette display a device bitmap that each frame is copied into from
  // Frame, Bits pointing there.
  HBITMAP Bitmap = nullptr, OldBitmap = nullptr;
  std::vector<uint8_t> Frame;
  uint8_t* Bits = nullptr;
  int32_t Stride = 0;
  HPALETTE Palette = nullptr;
  bool CursorHidden = false;
};

// Sets the scene and the frame buffer up for the virtual screen and opens the
// window, shown, over it; the cursor is hidden. False when a step fails (what
// was made is released by PlayerClose).
bool PlayerOpen(PlayerScreen& screen);
// Draws the animation at design time seconds into the frame buffer.
void PlayerDraw(PlayerScreen& screen, double seconds);
// Copies the frame buffer onto the window and waits until GDI has done it.
void PlayerPresent(PlayerScreen& screen);
// Destroys the window if it still exists, releases everything and shows the
// cursor again.
void PlayerClose(PlayerScreen& screen);

struct PlayerStats {
  int64_t Drawn = 0, Dropped = 0;
};

// The player: opens the screen, draws a frame whenever one is due (every
// delayMs milliseconds, 1 to 40) until the window ends or, when limitMs is
// above 0, that many milliseconds have passed, and closes the screen.
// False when the screen could not be opened.
bool PlayerRun(int32_t delayMs, int32_t limitMs, PlayerStats* stats);
