#include "image/DrawWin32.h"

#include <cstddef>

#include "runtime/Basic.h"
#include "runtime/ScopedWin32.h"

static_assert(sizeof(BITMAPINFOHEADER) == DibHeaderBytes, "BITMAPINFOHEADER is the plan's header");
static_assert(offsetof(BITMAPINFOHEADER, biHeight) == offsetof(DibHeader, biHeight), "same layout");
static_assert(offsetof(BITMAPINFOHEADER, biClrImportant) == offsetof(DibHeader, biClrImportant),
              "same layout");
static_assert(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY) == LogPaletteBytes, "a LOGPALETTE of 256");
static_assert(RasterHasPalette == RC_PALETTE && DibPalColours == DIB_PAL_COLORS &&
                  DibRgbColours == DIB_RGB_COLORS && DibCompressionBitFields == BI_BITFIELDS &&
                  PaletteNoCollapse == PC_NOCOLLAPSE,
              "the plan's constants are the platform's");

HPALETTE CurrentPalette = nullptr;

namespace {

bool directTransfer = true;

struct Transfer {
  HDC dc;
  const DrawTransfer* plan;
  UINT usage;
};

int32_t SendToDevice(const uint8_t* bits, const uint8_t* info, void* context) {
  const Transfer& t = *static_cast<const Transfer*>(context);
  const DrawTransfer& p = *t.plan;
  const BITMAPINFO* bmi = reinterpret_cast<const BITMAPINFO*>(info);
  if (p.Stretch)
    return StretchDIBits(t.dc, p.XDest, p.YDest, p.DestWidth, p.DestHeight, p.XSrc, p.YSrc, p.SrcWidth,
                         p.SrcHeight, bits, bmi, t.usage, SRCCOPY);
  return SetDIBitsToDevice(t.dc, p.XDest, p.YDest, DWORD(p.SrcWidth), DWORD(p.SrcHeight), p.XSrc, p.YSrc, 0,
                           p.ScanLines, bits, bmi, t.usage);
}

// The second route: the rows copied bottom-up into a DIB section, selected
// into a memory device context and blitted from there.
void SendThroughSection(HDC dc, const ImageBuffer& drawn, uint8_t* info, UINT usage, const DrawTransfer& p) {
  ScopedMemoryDC memory(dc);
  if (!memory) return;
  DibHeaderOf(info).biHeight = drawn.Height;
  // A section described by palette indices takes its colours from the
  // palette of the device context it is made for: give the memory context
  // the palette the picture was reduced to, not its default 20 colours.
  ScopedSelectPalette palette(memory, usage == DIB_PAL_COLORS ? CurrentPalette : nullptr, true);
  void* bits = nullptr;
  ScopedGdiObj<HBITMAP> section(
      CreateDIBSection(memory, reinterpret_cast<const BITMAPINFO*>(info), usage, &bits, nullptr, 0));
  if (!section) return;
  DibCopyRows(drawn.Pixels, static_cast<uint8_t*>(bits), drawn.Width, drawn.BitsPerPixel, drawn.Height);
  ScopedSelectObject selected(memory, section);
  if (p.Stretch)
    StretchBlt(dc, p.XDest, p.YDest, p.DestWidth, p.DestHeight, memory, p.BlitX, p.BlitY, p.SrcWidth,
               p.SrcHeight, SRCCOPY);
  else
    BitBlt(dc, p.XDest, p.YDest, p.SrcWidth, p.SrcHeight, memory, p.BlitX, p.BlitY, SRCCOPY);
}

void DrawPrepared(ImageBuffer& image, ImageBuffer& temporary, uint8_t* info, DrawRect& rect, HDC dc,
                  int32_t xDest, int32_t yDest, int32_t destWidth, int32_t destHeight, int32_t method) {
  DrawSetup setup = DrawPrepare(image, temporary, info, DeviceHasPalette(dc), method);
  if (setup.Palette == DrawPalette::SelectCurrent)
    SelectPalette(dc, CurrentPalette, TRUE);
  else if (setup.Palette == DrawPalette::RealizeDrawn)
    RealizeImagePalette(temporary.Palette, dc);

  const ImageBuffer& drawn = *setup.Drawn;
  DrawCorrectRect(rect, drawn.Width, drawn.Height);
  DrawTransfer plan = DrawPlanTransfer(rect, drawn.Height, xDest, yDest, destWidth, destHeight);
  Transfer transfer = {dc, &plan, setup.Usage};
  int32_t sent = directTransfer ? DibSendRows(drawn, info, SendToDevice, &transfer) : 0;
  if (sent == 0) SendThroughSection(dc, drawn, info, setup.Usage, plan);
}

}  // namespace

void ImgDraw(ImageBuffer& image, HDC dc, int32_t x, int32_t y) {
  DrawRect all = {0, 0, image.Width, image.Height};
  ImgDrawRect(image, all, dc, x, y, 0, 0, ConvNearest);
}

void ImgDrawRect(ImageBuffer& image, DrawRect& rect, HDC dc, int32_t xDest, int32_t yDest, int32_t destWidth,
                 int32_t destHeight, int32_t method) {
  if (!DrawCanDraw(image)) return;
  // The description: a BITMAPINFO with room for 256 colour-table entries.
  alignas(BITMAPINFO) uint8_t info[DibInfoBytes];
  ScopedImage temporary;
  DrawPrepared(image, temporary, info, rect, dc, xDest, yDest, destWidth, destHeight, method);
}

void RealizeImagePalette(const PaletteEntry* palette, HDC dc) {
  if (!DeviceHasPalette(dc)) return;
  alignas(LOGPALETTE) uint8_t block[LogPaletteBytes];
  LogPaletteFill(block, palette);
  // The new palette is selected before the old one is deleted: a palette
  // still selected into a device context cannot be deleted.
  HPALETTE previous = CurrentPalette;
  CurrentPalette = CreatePalette(reinterpret_cast<const LOGPALETTE*>(block));
  SelectPalette(dc, CurrentPalette, TRUE);
  if (previous) DeleteObject(previous);
  SetSystemPaletteUse(dc, SYSPAL_NOSTATIC);
  SetSystemPaletteUse(dc, SYSPAL_STATIC);
  RealizePalette(dc);
}

bool DeviceHasPalette(HDC dc) { return HasBits(GetDeviceCaps(dc, RASTERCAPS), RasterHasPalette); }

void DrawDirectTransferForTests(bool on) { directTransfer = on; }
