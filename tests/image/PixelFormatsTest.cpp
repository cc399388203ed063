// The per-pixel converters (PixelFormats.h), vector and plain, against the
// plain rules of the reference.
#include <gtest/gtest.h>

#include "ImageFixture.h"
#include "image/PixelFormats.h"
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

using Converters = ImageFixture;

// Run with each tier's loops.
using ConverterLoops = VectorLoopsFixture;
INSTANTIATE_TEST_SUITE_P(Vector, ConverterLoops, EveryCpuTier);

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

TEST_F(Converters, DocumentedPixelExamples) {
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

TEST_F(Converters, GreyLevels) {
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
