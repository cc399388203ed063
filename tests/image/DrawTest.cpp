// The drawing plan: descriptions and colour tables per depth and device
// kind, the stride and the bottom-up copy, the rectangle correction, the
// transfer arguments and the choice of the pixel source.
#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "ImageFixture.h"
#include "image/Convert.h"
#include "image/Draw.h"
#include "reference/PixelFormats.h"

namespace {

class Draw : public ImageFixture {};

struct Info {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(DibInfoBytes, 0xEE);
  uint8_t* data() { return bytes.data(); }
  DibHeader& header() { return DibHeaderOf(bytes.data()); }
  uint32_t Long(int at) const {
    uint32_t v;
    std::memcpy(&v, bytes.data() + DibHeaderBytes + at, 4);
    return v;
  }
  uint16_t Word(int at) const {
    uint16_t v;
    std::memcpy(&v, bytes.data() + DibHeaderBytes + at, 2);
    return v;
  }
  bool TableUntouched() const {
    for (int i = DibHeaderBytes; i < DibInfoBytes; ++i)
      if (bytes[i] != 0xEE) return false;
    return true;
  }
};

void RandomPalette(ImageBuffer& image, std::mt19937& rng) {
  for (PaletteEntry& e : image.Palette) e = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
}

}  // namespace

TEST(DibStride, RowsRoundUpToFourBytes) {
  struct Case {
    int32_t width, bits, stride;
  } cases[] = {{160, 24, 480}, {151, 24, 456}, {152, 24, 456}, {151, 8, 152}, {151, 15, 304},
               {151, 16, 304}, {151, 32, 604}, {1, 24, 4},     {0, 24, 0},    {-151, 24, 456}};
  for (const Case& c : cases) EXPECT_EQ(DibStride(c.width, c.bits, 4), c.stride) << c.width << " x " << c.bits;
  EXPECT_EQ(DibStride(1000000000, 24, 4), -1) << "past 32 bits";
}

TEST(DibCopyRows, RowsGoBottomUpAndThePaddingIsNotWritten) {
  for (int32_t bits : {8, 15, 24, 32}) {
    const int32_t w = 5, h = 3, bpp = (bits + 7) / 8, row = w * bpp, stride = DibStride(w, bits, 4);
    std::vector<uint8_t> pixels(size_t(row * h));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i + 1);
    std::vector<uint8_t> target(size_t(stride * h), 0xAB);
    DibCopyRows(pixels.data(), target.data(), w, bits, h);
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* out = &target[size_t((h - 1 - y) * stride)];
      EXPECT_EQ(0, std::memcmp(out, &pixels[size_t(y * row)], size_t(row))) << bits << " row " << y;
      for (int32_t pad = row; pad < stride; ++pad) EXPECT_EQ(out[pad], 0xAB) << bits << " row " << y;
    }
  }
}

TEST_F(Draw, OnlyImagesThatHoldTheirPixelsAreDrawn) {
  Image none;
  EXPECT_FALSE(DrawCanDraw(none));
  Image ok(4, 3, 24);
  EXPECT_TRUE(DrawCanDraw(ok));
  Image tall(4, 3, 24);
  tall.Height = 4;  // geometry past the block
  EXPECT_FALSE(DrawCanDraw(tall));
  tall.Height = 3;
  Image odd(4, 3, 24);
  odd.BitsPerPixel = 12;
  EXPECT_FALSE(DrawCanDraw(odd));
  odd.BitsPerPixel = 32;  // four bytes a pixel claimed over a block of three
  EXPECT_FALSE(DrawCanDraw(odd));
  odd.BitsPerPixel = 24;
}

TEST_F(Draw, OtherDevicesGetQuadsForEightBitsMasksForSixteenAndNothingElse) {
  std::mt19937 rng(5);
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    Image image(3, 2, bits);
    RandomPalette(image, rng);
    Info info;
    Image temporary;
    DrawSetup setup = DrawPrepare(image, temporary, info.data(), false, ConvNearest);
    EXPECT_EQ(setup.Drawn, &image);
    EXPECT_EQ(setup.Usage, DibRgbColours);
    EXPECT_EQ(setup.Palette, DrawPalette::None);
    EXPECT_FALSE(ImgHasPixels(temporary));
    if (bits == 8) {
      for (int i = 0; i < 256; ++i) {
        const PaletteEntry& e = image.Palette[i];
        EXPECT_EQ(info.Long(4 * i), uint32_t(e.Blue | e.Green << 8 | e.Red << 16)) << "entry " << i;
      }
    } else if (bits == 16) {
      EXPECT_EQ(info.header().biCompression, DibCompressionBitFields);
      EXPECT_EQ(info.Long(0), 0xF800u);
      EXPECT_EQ(info.Long(4), 0x07E0u);
      EXPECT_EQ(info.Long(8), 0x001Fu);
      EXPECT_EQ(info.bytes[DibHeaderBytes + 12], 0xEE);
    } else {
      EXPECT_EQ(info.header().biCompression, DibCompressionRgb) << bits;
      EXPECT_TRUE(info.TableUntouched()) << bits;
    }
  }
}

TEST_F(Draw, APaletteDeviceGetsIndicesAndAnEightBitTemporaryWithTheOptimisedPalette) {
  std::mt19937 rng(9);
  for (int32_t bits : {15, 16, 24, 32}) {
    Image image(37, 11, bits);
    image.Fill(rng);
    Info info;
    Image temporary;
    DrawSetup setup = DrawPrepare(image, temporary, info.data(), true, ConvNearest);
    ASSERT_EQ(setup.Drawn, &temporary);
    EXPECT_EQ(setup.Usage, DibPalColours);
    EXPECT_EQ(setup.Palette, DrawPalette::RealizeDrawn);
    EXPECT_EQ(info.header().biBitCount, 8) << bits;
    EXPECT_EQ(info.header().biHeight, -11);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(info.Word(2 * i), i);

    Image expected(37, 11, 8);
    ImgToIndexed(image, expected, ConvNearest);
    ASSERT_EQ(temporary.BitsPerPixel, 8);
    EXPECT_EQ(temporary.Data(), expected.Data()) << bits;
    EXPECT_EQ(0, std::memcmp(temporary.Palette, expected.Palette, sizeof expected.Palette)) << bits;
  }
}

TEST_F(Draw, APaletteDeviceTakesAnEightBitImageAsItIs) {
  Image image(6, 4, 8);
  Info info;
  Image temporary;
  DrawSetup setup = DrawPrepare(image, temporary, info.data(), true, ConvNearest);
  EXPECT_EQ(setup.Drawn, &image);
  EXPECT_EQ(setup.Palette, DrawPalette::SelectCurrent);
  EXPECT_EQ(setup.Usage, DibPalColours);
  EXPECT_FALSE(ImgHasPixels(temporary));
  for (int i = 0; i < 256; ++i) EXPECT_EQ(info.Word(2 * i), i);
}

TEST_F(Draw, TheGreyMethodReachesTheTemporary) {
  Image image(4, 1, 24);
  for (int i = 0; i < 4; ++i) image.SetBgr(i, uint8_t(30 * i), uint8_t(30 * i + 3), uint8_t(30 * i + 6));
  Info info;
  Image temporary;
  DrawPrepare(image, temporary, info.data(), true, ConvGrey);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(temporary.Pixels[i], 30 * i + 3);
  EXPECT_EQ(temporary.Palette[200].Red, 200);
}

TEST(DrawCorrectRect, FollowsItsSixStepsInOrder) {
  struct Case {
    DrawRect given, corrected;
  } cases[] = {
      {{0, 0, 160, 120}, {0, 0, 160, 120}},
      {{0, 0, 0, 0}, {0, 0, 160, 120}},             // 0 is the full extent
      {{0, 0, -5, -1}, {0, 0, 160, 120}},           // so is less
      {{160, 120, 10, 10}, {0, 0, 10, 10}},         // at the edge restarts at 0
      {{500, 700, 10, 10}, {0, 0, 10, 10}},         // past it too
      {{150, 100, 20, 30}, {150, 100, 10, 20}},     // cut at the edge
      {{10, 20, 0, 0}, {10, 20, 150, 100}},         // full extent, then cut
      {{-4, -6, 30, 40}, {-4, -6, 30, 40}},         // negative edges pass
      {{10, 5, INT_MAX, INT_MAX}, {10, 5, 150, 115}},  // no wrap in the edge test
  };
  for (const Case& c : cases) {
    DrawRect r = c.given;
    DrawCorrectRect(r, 160, 120);
    EXPECT_EQ(r.Left, c.corrected.Left);
    EXPECT_EQ(r.Top, c.corrected.Top);
    EXPECT_EQ(r.Width, c.corrected.Width) << c.given.Left << "," << c.given.Width;
    EXPECT_EQ(r.Height, c.corrected.Height) << c.given.Top << "," << c.given.Height;
  }
}

TEST(DrawPlanTransfer, StretchesOnlyWithBothSizesAndReadsTheSourceBottomUp) {
  DrawRect r = {10, 20, 30, 40};
  DrawTransfer one = DrawPlanTransfer(r, 120, 5, 6, 0, 99);
  EXPECT_FALSE(one.Stretch) << "destWidth 0 with destHeight non-zero is 1:1";
  EXPECT_EQ(one.XDest, 5);
  EXPECT_EQ(one.YDest, 6);
  EXPECT_EQ(one.DestWidth, 30);
  EXPECT_EQ(one.DestHeight, 40);
  EXPECT_EQ(one.XSrc, 10);
  EXPECT_EQ(one.YSrc, 120 - 40 - 20);
  EXPECT_EQ(one.SrcWidth, 30);
  EXPECT_EQ(one.SrcHeight, 40);
  EXPECT_EQ(one.BlitX, 10);
  EXPECT_EQ(one.BlitY, 20);
  EXPECT_EQ(one.ScanLines, 120u);
  EXPECT_FALSE(DrawPlanTransfer(r, 120, 0, 0, 99, 0).Stretch);
  DrawTransfer stretched = DrawPlanTransfer(r, 120, 0, 0, 300, 400);
  EXPECT_TRUE(stretched.Stretch);
  EXPECT_EQ(stretched.DestWidth, 300);
  EXPECT_EQ(stretched.DestHeight, 400);
  EXPECT_EQ(stretched.SrcWidth, 30);
  EXPECT_EQ(stretched.YSrc, 60);
}

namespace {

// What the transfer saw.
struct Sent {
  const uint8_t* bits = nullptr;
  int32_t height = 0;
  int32_t blocks = 0;
  std::vector<uint8_t> rows;
  int32_t result = 1;
};

int32_t Record(const uint8_t* bits, const uint8_t* info, void* context) {
  Sent& s = *static_cast<Sent*>(context);
  s.bits = bits;
  DibHeader h;
  std::memcpy(&h, info, sizeof h);
  s.height = h.biHeight;
  s.blocks = MemCount();
  int32_t stride = DibStride(h.biWidth, h.biBitCount, 4);
  s.rows.assign(bits, bits + stride * (h.biHeight < 0 ? -h.biHeight : h.biHeight));
  return s.result;
}

}  // namespace

namespace {

// The colour of one field of a pixel: the bits under mask, widened to eight
// with zero low bits.
int Field(uint32_t pixel, uint32_t mask) {
  int shift = 0, width = 0;
  while (!(mask >> shift & 1)) ++shift;
  while (mask >> (shift + width) & 1) ++width;
  return int((pixel & mask) >> shift) << (8 - width);
}

// Reads a device-independent bitmap as a device does: the 40-byte header
// (rows top-down when the height is negative, each padded to four bytes),
// RGBQUADs after it for 8 bits, 5-5-5 for 16-bit BI_RGB (0), the three masks
// after it for BI_BITFIELDS (3). Empty for a description no device reads.
std::vector<ref::Rgb> ReadDib(const uint8_t* info, const uint8_t* bits) {
  DibHeader h;
  std::memcpy(&h, info, sizeof h);
  const uint8_t* table = info + 40;
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (h.biSize != 40 || h.biPlanes != 1 || h.biWidth < 1 || h.biHeight == 0 || h.biClrUsed != 0) return {};
  if (h.biCompression == 3 && (h.biBitCount == 16 || h.biBitCount == 32))
    std::memcpy(masks, table, sizeof masks);
  else if (h.biCompression != 0)
    return {};
  const int32_t rows = h.biHeight < 0 ? -h.biHeight : h.biHeight, stride = (h.biWidth * h.biBitCount + 31) / 32 * 4;
  std::vector<ref::Rgb> colours;
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* row = bits + size_t(h.biHeight < 0 ? y : rows - 1 - y) * size_t(stride);
    for (int32_t x = 0; x < h.biWidth; ++x) {
      const uint8_t* p = row + x * h.biBitCount / 8;
      switch (h.biBitCount) {
        case 8:
          p = table + 4 * p[0];
          colours.push_back({p[2], p[1], p[0]});
          break;
        case 16: {
          const uint32_t word = uint32_t(p[0] | p[1] << 8);
          colours.push_back({Field(word, masks[0]), Field(word, masks[1]), Field(word, masks[2])});
          break;
        }
        case 24:
        case 32:
          if (h.biCompression != 0) return {};
          colours.push_back({p[2], p[1], p[0]});
          break;
        default:
          return {};
      }
    }
  }
  return colours;
}

int32_t ReadAtTransfer(const uint8_t* bits, const uint8_t* info, void* context) {
  *static_cast<std::vector<ref::Rgb>*>(context) = ReadDib(info, bits);
  return 1;
}

}  // namespace

// On a device without a palette, the description, its colour table and the
// rows sent give every pixel the image's own colour, at every depth, with
// rows of whole words and rows that need padding.
TEST_F(Draw, ADeviceReadsTheImagesOwnColoursAtEveryDepth) {
  std::mt19937 rng(11);
  for (int32_t bits : {8, 15, 16, 24, 32})
    for (int32_t width : {8, 7}) {
      Image image(width, 5, bits);
      image.Fill(rng);
      RandomPalette(image, rng);
      Info info;
      Image temporary;
      DrawSetup setup = DrawPrepare(image, temporary, info.data(), false, ConvNearest);
      std::vector<ref::Rgb> read;
      ASSERT_EQ(DibSendRows(*setup.Drawn, info.data(), ReadAtTransfer, &read), 1);
      ASSERT_EQ(read.size(), size_t(width * 5)) << bits << " bits, width " << width << ": not readable";
      for (int32_t i = 0; i < width * 5; ++i) {
        const ref::Rgb want = ref::Decode(image, i);
        EXPECT_TRUE(read[i].r == want.r && read[i].g == want.g && read[i].b == want.b)
            << bits << " bits, width " << width << ", pixel " << i;
      }
    }
}

TEST_F(Draw, RowsOfWholeWordsGoOutAsTheImageItself) {
  for (int32_t w : {160, 152, 4}) {
    Image image(w, 7, 24);
    Info info;
    DibDescribe(info.data(), image);
    Sent sent;
    EXPECT_EQ(DibSendRows(image, info.data(), Record, &sent), 1);
    EXPECT_EQ(sent.bits, image.Pixels) << w;
    EXPECT_EQ(sent.height, -7);
    EXPECT_EQ(sent.blocks, base + 1) << "no copy";
  }
}

TEST_F(Draw, OtherRowsGoThroughAPaddedBottomUpCopy) {
  std::mt19937 rng(3);
  for (int32_t bits : {24, 8, 15}) {
    Image image(151, 9, bits);
    image.Fill(rng);
    Info info;
    DibDescribe(info.data(), image);
    Sent sent;
    sent.result = 9;
    EXPECT_EQ(DibSendRows(image, info.data(), Record, &sent), 9);
    EXPECT_NE(sent.bits, image.Pixels);
    EXPECT_EQ(sent.height, 9) << "positive for the transfer";
    EXPECT_EQ(sent.blocks, base + 2) << "the copy is a tracked block";
    EXPECT_EQ(info.header().biHeight, -9) << "negative again afterwards";
    EXPECT_EQ(MemCount(), base + 1) << "the copy is released";
    int32_t row = 151 * image.BytesPerPixel, stride = DibStride(151, bits, 4);
    for (int32_t y = 0; y < 9; ++y)
      EXPECT_EQ(0, std::memcmp(&sent.rows[size_t((8 - y) * stride)], image.Pixels + y * row, size_t(row)));
  }
}

TEST_F(Draw, AFailedTransferStillReleasesTheCopy) {
  Image image(151, 3, 24);
  Info info;
  DibDescribe(info.data(), image);
  Sent sent;
  sent.result = 0;
  EXPECT_EQ(DibSendRows(image, info.data(), Record, &sent), 0);
  EXPECT_EQ(info.header().biHeight, -3);
  EXPECT_EQ(MemCount(), base + 1);
}

TEST(LogPaletteFill, VersionCountAndEntriesRedGreenBlueNoCollapse) {
  PaletteEntry palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)};
  std::vector<uint8_t> block(LogPaletteBytes, 0xEE);
  LogPaletteFill(block.data(), palette);
  EXPECT_EQ(block[0] | block[1] << 8, 0x300);
  EXPECT_EQ(block[2] | block[3] << 8, 256);
  for (int i = 0; i < 256; ++i) {
    const uint8_t* e = &block[size_t(4 + 4 * i)];
    EXPECT_EQ(e[0], uint8_t(i * 7));
    EXPECT_EQ(e[1], uint8_t(255 - i));
    EXPECT_EQ(e[2], uint8_t(i));
    EXPECT_EQ(e[3], PaletteNoCollapse);
  }
}
