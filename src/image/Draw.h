// Draw: the plan for putting an ImageBuffer onto a device context: the
// bitmap description and its colour table, the row stride and the bottom-up
// copy, the correction of the source rectangle, the choice of the pixel
// source and the arguments of the transfer. DrawWin32 carries the plan out
// with GDI, one call per step; everything here takes plain values.
//
// The description block is DibInfoBytes long: a 40-byte BITMAPINFOHEADER
// followed by room for 256 four-byte colour-table entries. A palette device
// gets an 8-bit image and a table of palette indices (DIB_PAL_COLORS); any
// other device gets the image's own pixels, a 16-bit image described by bit
// masks and an 8-bit image by RGBQUADs made from its palette.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"

constexpr int32_t DibHeaderBytes = 40;
constexpr int32_t DibInfoBytes = DibHeaderBytes + 256 * 4;  // 1064
constexpr int32_t LogPaletteBytes = 4 + 256 * 4;            // 1028

// The values of the platform's constants that the plan writes.
constexpr uint32_t DibCompressionRgb = 0;        // BI_RGB
constexpr uint32_t DibCompressionBitFields = 3;  // BI_BITFIELDS
constexpr uint32_t DibRgbColours = 0;            // DIB_RGB_COLORS
constexpr uint32_t DibPalColours = 1;            // DIB_PAL_COLORS
constexpr int32_t RasterHasPalette = 0x100;      // RC_PALETTE of RASTERCAPS
constexpr uint16_t LogPaletteVersion = 0x300;
constexpr uint8_t PaletteNoCollapse = 4;         // PC_NOCOLLAPSE
constexpr uint32_t Mask16Red = 0xF800, Mask16Green = 0x07E0, Mask16Blue = 0x001F;

// The BITMAPINFOHEADER, field for field (little-endian, no padding).
struct DibHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(DibHeader) == DibHeaderBytes, "the header is 40 bytes");

inline DibHeader& DibHeaderOf(uint8_t* info) { return *reinterpret_cast<DibHeader*>(info); }
// The colour table (indices, RGBQUADs or masks) right after the header.
inline uint8_t* DibTableOf(uint8_t* info) { return info + DibHeaderBytes; }

// A source rectangle in pixels of the image.
struct DrawRect {
  int32_t Left, Top, Width, Height;
};

// (|width| x ((bitsPerPixel + 7) / 8) + alignment - 1) rounded down to a
// multiple of alignment (a power of two; the drawing code uses 4), computed
// in 64 bits. A result past 32 bits gives -1.
int32_t DibStride(int32_t width, int32_t bitsPerPixel, int32_t alignment);

// Copies a packed top-down image into a bottom-up DIB layout: image row y
// (width x bytes per pixel bytes) goes to the start of target row
// height - 1 - y, target rows DibStride (width, bitsPerPixel, 4) apart. The
// padding after each target row is not written.
void DibCopyRows(const uint8_t* pixels, uint8_t* target, int32_t width, int32_t bitsPerPixel, int32_t height);

// True when drawing may read the image: it holds its pixels (ImgHoldsPixels)
// at one of the five depths with the bytes per pixel of that depth. An image
// whose geometry runs past its block is not drawn.
bool DrawCanDraw(const ImageBuffer& image);

// Clears the 40 header bytes of info and describes the image top-down:
// biSize 40, biWidth Width, biHeight -Height, biPlanes 1, biBitCount
// 8 x BytesPerPixel (a 15-bit image goes out as 16-bit BI_RGB, read as
// 5-5-5), BI_RGB, biSizeImage Width x Height x BytesPerPixel.
void DibDescribe(uint8_t* info, const ImageBuffer& image);
// The colour table of a palette device: the 16-bit indices 0 .. 255.
void DibSetIndices(uint8_t* info);
// The colour table of any other device: RGBQUADs from the palette of an
// 8-bit image; BI_BITFIELDS and the red, green and blue masks for a 16-bit
// image; nothing for the other depths.
void DibSetColours(uint8_t* info, const ImageBuffer& image);

// Which palette the device must use for the drawn image.
enum class DrawPalette {
  None,           // not a palette device
  SelectCurrent,  // an 8-bit image on a palette device: CurrentPalette is selected
  RealizeDrawn,   // the 8-bit temporary's optimised palette is realised
};

struct DrawSetup {
  ImageBuffer* Drawn;  // the image whose pixels go out: the image or the temporary
  uint32_t Usage;      // DibPalColours or DibRgbColours
  DrawPalette Palette;
};

// The steps before the transfer. Describes image in info and fills the
// colour table for the device. On a palette device an image of more than one
// byte per pixel is reduced into temporary (cleared by the caller, released
// by the caller on every path): ImgAlloc of an 8-bit image of the same size,
// ImgToIndexed with method, biBitCount 8. Errors of ImgAlloc and of the
// palette optimiser's allocation reach the caller as EMon.
DrawSetup DrawPrepare(ImageBuffer& image, ImageBuffer& temporary, uint8_t* info, bool paletteDevice,
                      int32_t method);

// Corrects rect against a width x height image, in this order: a left edge
// at or past the width restarts at 0, a top edge at or past the height at 0;
// a width or height of 0 or less becomes the full extent; a rectangle
// reaching past the right or bottom edge is cut there. Negative left and top
// are left as they are (the device clips them).
void DrawCorrectRect(DrawRect& rect, int32_t width, int32_t height);

// The arguments of one transfer of a corrected rectangle of an image that is
// imageHeight rows high.
struct DrawTransfer {
  bool Stretch;                // destWidth and destHeight both non-zero
  int32_t XDest, YDest;
  int32_t DestWidth, DestHeight;  // Stretch: the given size; else the rectangle's
  int32_t XSrc, YSrc;          // of a bottom-up DIB: left, imageHeight - height - top
  int32_t SrcWidth, SrcHeight;
  int32_t BlitX, BlitY;        // of the DIB section (top-down in the device): left, top
  uint32_t ScanLines;          // SetDIBitsToDevice: rows from 0, imageHeight
};
DrawTransfer DrawPlanTransfer(const DrawRect& rect, int32_t imageHeight, int32_t xDest, int32_t yDest,
                              int32_t destWidth, int32_t destHeight);

// One transfer of the drawn image's rows: bits and info as the platform
// takes them; returns the platform's result (0 for a failure).
using DibTransferRows = int32_t (*)(const uint8_t* bits, const uint8_t* info, void* context);

// Hands the drawn image's pixels to transfer and returns its result. Rows
// whose length is a multiple of 4 bytes go out as the image's own block,
// described top-down. Otherwise they go through a padded bottom-up copy (a
// tracked block of stride x height bytes) with biHeight made +Height for the
// transfer; the copy is released and biHeight set back to -Height afterwards.
// A copy that cannot be allocated outside a monitored section counts as a
// failed transfer (0); inside one, the memory error reaches the caller.
int32_t DibSendRows(const ImageBuffer& drawn, uint8_t* info, DibTransferRows transfer, void* context);

// Fills the LogPaletteBytes of block as a LOGPALETTE of 256 entries from a
// blue-green-red palette: version 0x300, each entry red, green, blue and
// PC_NOCOLLAPSE.
void LogPaletteFill(uint8_t* block, const PaletteEntry* palette);
