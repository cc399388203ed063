// Pixel formats and depth conversion.
#include <gtest/gtest.h>

#include "ImageFixture.h"
#include "image/Convert.h"
#include "reference/PixelFormats.h"

using ref::GreyReference;
using ref::Reference;

namespace {

void RandomPalette(Image& img, std::mt19937& rng) {
  for (PaletteEntry& e : img.Palette) e = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
}

// One pixel converted with the dispatcher's converter.
std::vector<uint8_t> ConvertOne(int32_t from, int32_t to, std::vector<uint8_t> px) {
  std::vector<uint8_t> out(4, 0xEE);
  ConverterFor(from, to)(px.data(), out.data(), 1, (from + 7) / 8, nullptr);
  out.resize((to + 7) / 8);
  return out;
}

}  // namespace

using Convert = ImageFixture;

// Run with the vector loops allowed, and with them turned off.
using ConverterLoops = VectorLoopsFixture;
INSTANTIATE_TEST_SUITE_P(Vector, ConverterLoops, VectorLoopsOnAndOff);

TEST_P(ConverterLoops, MatchThePlainRulesOnRandomPixels) {
  std::mt19937 rng(7);
  const int32_t depths[] = {8, 15, 16, 24, 32};
  for (int32_t from : depths)
    for (int32_t to : depths) {
      if (from == to) continue;
      // Odd sizes: the word-wide and block loops must stop at the block's
      // last byte and leave the right tail to the plain loop.
      for (int32_t n : {1, 2, 3, 5, 9, 10, 11, 16, 37, 64, 65, 66, 127, 128, 200, 1003, 1024, 1090, 4099}) {
        Image src(n, 1, from);
        src.Fill(rng);
        RandomPalette(src, rng);
        std::vector<uint8_t> out(size_t(n) * ((to + 7) / 8));
        ConverterFor(from, to)(src.Pixels, out.data(), n, src.BytesPerPixel, src.Palette);
        EXPECT_EQ(out, to == 8 ? GreyReference(src) : Reference(src, to))
            << from << " to " << to << ", " << n << " pixels";
      }
    }
}

TEST_F(Convert, DocumentedPixelExamples) {
  struct Case {
    int32_t from, to;
    std::vector<uint8_t> in, out;
  } cases[] = {
      {24, 15, {255, 255, 255}, {0xFF, 0x7F}},        // 32767
      {24, 16, {255, 255, 255}, {0xFF, 0xFF}},        // 65535
      {15, 24, {0xFF, 0x7F}, {248, 248, 248}},
      {16, 24, {0xFF, 0xFF}, {248, 252, 248}},
      {16, 15, {0xE0, 0x07}, {0xE0, 0x03}},           // 2016 (green 63) -> 992
      {15, 16, {0xE0, 0x03}, {0xC0, 0x07}},           // 992 -> 1984 (green 62)
      {15, 16, {0x00, 0x7C}, {0x00, 0xF8}},           // red moves up one bit
      {32, 24, {1, 2, 3, 99}, {1, 2, 3}},
      {24, 32, {1, 2, 3}, {1, 2, 3, 0}},
      {15, 32, {0xFF, 0x7F}, {248, 248, 248, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertOne(c.from, c.to, c.in), c.out) << c.from << " to " << c.to;
}

TEST_F(Convert, GreyLevels) {
  struct Case {
    int32_t from;
    std::vector<uint8_t> in;
    uint8_t level;
  } cases[] = {
      {24, {0, 0, 2}, 0},            // (blue 0, green 0, red 2)
      {24, {1, 1, 1}, 1},
      {24, {255, 255, 255}, 255},
      {32, {10, 20, 31, 200}, 20},   // the fourth byte is not read
      {15, {0, 0}, 9},               // (7 + 14 + 7) / 3
      {15, {0x20, 0}, 9},            // green 1 widens like green 0
      {15, {0x40, 0}, 14},           // green 2: (7 + 30 + 7) / 3
      {15, {0xFF, 0x7F}, 254},       // (255 + 254 + 255) / 3: the OR keeps green below 255
      {16, {0, 0}, 6},               // (7 + 6 + 7) / 3
      {16, {0xFF, 0xFF}, 254},
  };
  for (const Case& c : cases) EXPECT_EQ(ConvertOne(c.from, 8, c.in)[0], c.level) << c.from;
}

TEST_F(Convert, EightBitsToWordsAndWideUseThePalette) {
  Image src(3, 1, 8);
  src.Palette[0] = {255, 255, 255};
  src.Palette[7] = {8, 4, 16};  // blue, green, red
  src.Set({7, 0, 7});
  for (int32_t to : {15, 16, 24, 32}) {
    Image dst;
    ImgConvert(src, dst, to);
    EXPECT_EQ(dst.BitsPerPixel, to);
    EXPECT_EQ(dst.Data(), Reference(src, to)) << to;
  }
}

TEST_F(Convert, SameDepthInPlaceChangesNothing) {
  Image img(4, 3, 24);
  std::mt19937 rng(1);
  img.Fill(rng);
  std::vector<uint8_t> before = img.Data();
  uint8_t* block = img.Pixels;
  ImgConvert(img, img, 24);
  EXPECT_EQ(img.Pixels, block);
  EXPECT_EQ(img.Data(), before);
  EXPECT_EQ(LastError(), (ErrorPair{0, 0}));
}

TEST_F(Convert, InPlaceToEightHoldsTheNewImageAndReleasesTheOld) {
  Image img(8, 8, 24);
  std::mt19937 rng(2);
  img.Fill(rng);
  int32_t blocks = MemCount();
  ImgConvert(img, img, 8);
  EXPECT_EQ(img.BitsPerPixel, 8);
  EXPECT_EQ(img.BytesPerPixel, 1);
  EXPECT_EQ(img.Size, 64);
  EXPECT_TRUE(ImgHasPixels(img));
  EXPECT_EQ(MemCount(), blocks);
}

TEST_F(Convert, InPlaceKeepsTheBlockCountForEveryPair) {
  std::mt19937 rng(3);
  const int32_t depths[] = {8, 15, 16, 24, 32};
  for (int32_t from : depths)
    for (int32_t to : depths)
      for (int32_t method : {ConvNearest, ConvDiffuse, ConvOrdered, ConvGrey}) {
        Image img(int32_t(rng() % 9 + 1), int32_t(rng() % 9 + 1), from);
        img.Fill(rng);
        int32_t blocks = MemCount();
        ImgConvert(img, img, to, method);
        EXPECT_EQ(MemCount(), blocks) << from << " to " << to;
        EXPECT_EQ(img.BitsPerPixel, to);
      }
}

TEST_F(Convert, UnknownDepthCopiesOrLeavesAlone) {
  Image src(2, 2, 24);
  std::mt19937 rng(4);
  src.Fill(rng);
  Image dst;
  ImgConvert(src, dst, 12);
  EXPECT_EQ(dst.BitsPerPixel, 24);
  EXPECT_EQ(dst.Data(), src.Data());
  EXPECT_NE(dst.Pixels, src.Pixels);
  std::vector<uint8_t> before = src.Data();
  ImgConvert(src, src, 12);
  EXPECT_EQ(src.BitsPerPixel, 24);
  EXPECT_EQ(src.Data(), before);
}

TEST_F(Convert, SameDepthIntoAnotherRecordCopies) {
  Image src(3, 2, 16);
  std::mt19937 rng(5);
  src.Fill(rng);
  Image dst(1, 1, 32);
  ImgConvert(src, dst, 16);
  EXPECT_EQ(dst.BitsPerPixel, 16);
  EXPECT_EQ(dst.Data(), src.Data());
}

TEST_F(Convert, BadSourcesFailBeforeAnythingIsAllocated) {
  Image empty;
  Image dst;
  EXPECT_THROW(ImgConvert(empty, dst, 8), EMon);
  EXPECT_EQ(LastError(), ErrImgInvalidFormat);
  EXPECT_FALSE(ImgHasPixels(dst));
  // Geometry re-described past the end of the block.
  Image small(2, 2, 24);
  ImgSetGeometry(small, 50, 50, 24);
  EXPECT_THROW(ImgConvert(small, dst, 16), EMon);
  EXPECT_THROW(ImgConvert(small, small, 32), EMon);
  EXPECT_FALSE(ImgHasPixels(dst));
}

TEST_F(Convert, GreyMethodSetsTheRampAndTheLevels) {
  Image src(4, 1, 24);
  src.Set({0, 0, 2, 1, 1, 1, 30, 60, 90, 255, 255, 255});
  Image dst;
  ImgConvert(src, dst, 8, ConvGrey);
  EXPECT_EQ(dst.Data(), (std::vector<uint8_t>{0, 1, 60, 255}));
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(dst.Palette[i].Red, i);
    EXPECT_EQ(dst.Palette[i].Green, i);
    EXPECT_EQ(dst.Palette[i].Blue, i);
  }
}
