// DrawWin32: drawing an ImageBuffer into a Windows device context with GDI,
// carrying out the plan of Draw.h one call per step. A palette device (a
// 256-colour display) gets the picture reduced to 8 bits with an optimised
// palette, which is realised first; any other device gets the image's own
// pixels. When the direct transfer fails the image goes through a DIB
// section in a memory device context. GDI failures are not reported: when
// both routes fail nothing is drawn.
#pragma once

#include <windows.h>

#include <cstdint>

#include "image/Convert.h"
#include "image/Draw.h"
#include "image/ImageBuffer.h"

// The logical palette last created by RealizeImagePalette, or null. It is
// deleted only when a new one replaces it (never at shut-down) and may be
// left selected into the caller's device context.
extern HPALETTE CurrentPalette;

// Draws the whole image unscaled with its top-left corner at (x, y):
// ImgDrawRect with the rectangle (0, 0, Width, Height), no stretching and
// method 0.
void ImgDraw(ImageBuffer& image, HDC dc, int32_t x, int32_t y);

// Draws rect of the image at (xDest, yDest), stretched to destWidth x
// destHeight when both are non-zero and 1:1 otherwise; rect is corrected in
// place (DrawCorrectRect). method goes to ImgToIndexed when a palette device
// needs the image at 8 bits. An image that DrawCanDraw refuses draws
// nothing. Every block and temporary image is released on every path; an
// allocation error raised inside a monitored section (or by ImgAlloc and the
// palette optimiser) reaches the caller as EMon after that.
void ImgDrawRect(ImageBuffer& image, DrawRect& rect, HDC dc, int32_t xDest, int32_t yDest, int32_t destWidth,
                 int32_t destHeight, int32_t method);

// On a palette device: makes a logical palette of the 256 entries (blue,
// green, red), selects it as a background palette, switches the system
// palette use to no-static and back to static, and realises it; it becomes
// CurrentPalette and the previous one is deleted. Nothing on other devices.
void RealizeImagePalette(const PaletteEntry* palette, HDC dc);

// True when GetDeviceCaps (dc, RASTERCAPS) has RC_PALETTE.
bool DeviceHasPalette(HDC dc);

// For tests: with false the direct transfer is treated as failed, so that
// the image goes through the DIB section as it does when StretchDIBits or
// SetDIBitsToDevice returns 0. True at start.
void DrawDirectTransferForTests(bool on);
