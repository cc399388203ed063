#include "image/Draw.h"

#include <cstring>

#include "image/Convert.h"
#include "runtime/Errors.h"

namespace {

void PutWord(uint8_t* at, uint16_t value) { std::memcpy(at, &value, 2); }
void PutLong(uint8_t* at, uint32_t value) { std::memcpy(at, &value, 4); }

}  // namespace

int32_t DibStride(int32_t width, int32_t bitsPerPixel, int32_t alignment) {
  int64_t w = width < 0 ? -int64_t(width) : int64_t(width);
  int64_t stride = (w * ((int64_t(bitsPerPixel) + 7) / 8) + alignment - 1) & ~int64_t(alignment - 1);
  return stride > INT32_MAX ? -1 : int32_t(stride);
}

void DibCopyRows(const uint8_t* pixels, uint8_t* target, int32_t width, int32_t bitsPerPixel, int32_t height) {
  int64_t row = int64_t(width) * ((bitsPerPixel + 7) / 8);
  int64_t stride = DibStride(width, bitsPerPixel, 4);
  for (int64_t y = 0; y < height; ++y)
    std::memcpy(target + (height - 1 - y) * stride, pixels + y * row, size_t(row));
}

bool DrawCanDraw(const ImageBuffer& image) {
  return ImgHoldsPixels(image) && ImgIsDepth(image.BitsPerPixel) &&
         image.BytesPerPixel == (image.BitsPerPixel + 7) / 8;
}

void DibDescribe(uint8_t* info, const ImageBuffer& image) {
  DibHeader& h = DibHeaderOf(info);
  std::memset(&h, 0, DibHeaderBytes);
  h.biSize = DibHeaderBytes;
  h.biWidth = image.Width;
  h.biHeight = -image.Height;
  h.biPlanes = 1;
  h.biBitCount = uint16_t(image.BytesPerPixel * 8);
  h.biCompression = DibCompressionRgb;
  h.biSizeImage = uint32_t(image.Width) * uint32_t(image.Height) * uint32_t(image.BytesPerPixel);
}

void DibSetIndices(uint8_t* info) {
  uint8_t* table = DibTableOf(info);
  for (int i = 0; i < 256; ++i) PutWord(table + 2 * i, uint16_t(i));
}

void DibSetColours(uint8_t* info, const ImageBuffer& image) {
  uint8_t* table = DibTableOf(info);
  if (image.BitsPerPixel == 8) {
    for (int i = 0; i < 256; ++i) {
      const PaletteEntry& e = image.Palette[i];
      uint8_t quad[4] = {e.Blue, e.Green, e.Red, 0};
      std::memcpy(table + 4 * i, quad, 4);
    }
  } else if (image.BitsPerPixel == 16) {
    DibHeaderOf(info).biCompression = DibCompressionBitFields;
    PutLong(table, Mask16Red);
    PutLong(table + 4, Mask16Green);
    PutLong(table + 8, Mask16Blue);
  }
}

DrawSetup DrawPrepare(ImageBuffer& image, ImageBuffer& temporary, uint8_t* info, bool paletteDevice,
                      int32_t method) {
  DibDescribe(info, image);
  if (!paletteDevice) {
    DibSetColours(info, image);
    return {&image, DibRgbColours, DrawPalette::None};
  }
  DibSetIndices(info);
  if (image.BytesPerPixel == 1) return {&image, DibPalColours, DrawPalette::SelectCurrent};
  ImgAlloc(temporary, image.Width, image.Height, 8, 0, "(ImgDrawRect):indexed");
  ImgToIndexed(image, temporary, method);
  DibHeaderOf(info).biBitCount = 8;
  return {&temporary, DibPalColours, DrawPalette::RealizeDrawn};
}

void DrawCorrectRect(DrawRect& rect, int32_t width, int32_t height) {
  if (rect.Left >= width) rect.Left = 0;
  if (rect.Top >= height) rect.Top = 0;
  if (rect.Width <= 0) rect.Width = width;
  if (rect.Height <= 0) rect.Height = height;
  // In 64 bits: a huge width must not wrap past the edge test.
  if (int64_t(rect.Left) + rect.Width > width) rect.Width = width - rect.Left;
  if (int64_t(rect.Top) + rect.Height > height) rect.Height = height - rect.Top;
}

DrawTransfer DrawPlanTransfer(const DrawRect& rect, int32_t imageHeight, int32_t xDest, int32_t yDest,
                              int32_t destWidth, int32_t destHeight) {
  DrawTransfer t;
  t.Stretch = destWidth != 0 && destHeight != 0;
  t.XDest = xDest;
  t.YDest = yDest;
  t.DestWidth = t.Stretch ? destWidth : rect.Width;
  t.DestHeight = t.Stretch ? destHeight : rect.Height;
  t.XSrc = rect.Left;
  t.YSrc = int32_t(int64_t(imageHeight) - rect.Height - rect.Top);
  t.SrcWidth = rect.Width;
  t.SrcHeight = rect.Height;
  t.BlitX = rect.Left;
  t.BlitY = rect.Top;
  t.ScanLines = uint32_t(imageHeight);
  return t;
}

int32_t DibSendRows(const ImageBuffer& drawn, uint8_t* info, DibTransferRows transfer, void* context) {
  int32_t stride = DibStride(drawn.Width, drawn.BitsPerPixel, 4);
  if (int64_t(drawn.Width) * drawn.BytesPerPixel == stride) return transfer(drawn.Pixels, info, context);

  int64_t bytes = int64_t(stride) * drawn.Height;
  ScopedBlock<uint8_t> rows;
  if (stride < 0 || bytes > INT32_MAX || MemAlloc(rows.Block, int32_t(bytes), 0, "(ImgDrawRect):rows") != 0)
    return 0;
  DibCopyRows(drawn.Pixels, rows.Block, drawn.Width, drawn.BitsPerPixel, drawn.Height);
  DibHeader& h = DibHeaderOf(info);
  h.biHeight = drawn.Height;
  int32_t result = transfer(rows.Block, info, context);
  h.biHeight = -drawn.Height;
  return result;
}

void LogPaletteFill(uint8_t* block, const PaletteEntry* palette) {
  PutWord(block, LogPaletteVersion);
  PutWord(block + 2, 256);
  for (int i = 0; i < 256; ++i) {
    uint8_t entry[4] = {palette[i].Red, palette[i].Green, palette[i].Blue, PaletteNoCollapse};
    std::memcpy(block + 4 + 4 * i, entry, 4);
  }
}
