#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "LoadTestSupport.h"
#include "image/ImageBuffer.h"
#include "image/Load.h"
#include "image/Pack.h"

namespace {

// Picture kinds that call on every token: noise (literals), flat areas
// (runs), repeated lines (copies from above), tiles (back-references) and a
// motif that recurs far apart (repeats).
std::vector<uint8_t> MakePicture(int32_t kind, int32_t width, int32_t height, int32_t bpp, uint32_t seed) {
  Random r{seed};
  int32_t line = width * bpp;
  std::vector<uint8_t> p(size_t(line) * height);
  std::vector<uint8_t> motif(40);
  for (uint8_t& b : motif) b = uint8_t(r.Next());
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < line; ++x) {
      uint8_t& b = p[size_t(y) * line + x];
      switch (kind) {
        case 0: b = uint8_t(r.Next()); break;
        case 1: b = uint8_t((x / (bpp * 9) + y / 5) * 40 + x % bpp); break;
        case 2: b = uint8_t(y % 3 == 0 ? r.Next() : p[size_t(y - 1) * line + x]); break;
        case 3: b = uint8_t((x % 13) * 17 + (y % 7) * 3 + (r.Next() % 50 == 0)); break;
        default: b = (x % 97) < 40 ? motif[x % 97] : uint8_t(r.Next() >> 8); break;
      }
    }
  return p;
}

std::vector<uint8_t> Unpack(const std::vector<uint8_t>& start, const uint8_t* stream, int32_t bytes,
                            int32_t width, int32_t bpp, int32_t height) {
  std::vector<uint8_t> target = start;
  UnpackPixels(stream, bytes, target.data(), width, bpp, height);
  return target;
}

}  // namespace

TEST(PackRoundTrip, EveryPictureKindAtEveryDepthComesBack) {
  const int32_t sizes[][2] = {{1, 1}, {2, 3}, {7, 5}, {64, 48}, {200, 30}};
  for (int32_t bpp = 1; bpp <= 4; ++bpp)
    for (const auto& size : sizes)
      for (int32_t kind = 0; kind < 5; ++kind) {
        int32_t w = size[0], h = size[1];
        std::vector<uint8_t> pixels = MakePicture(kind, w, h, bpp, uint32_t(1 + kind + 7 * bpp + w));
        uint8_t* stream = nullptr;
        int32_t bytes = 0;
        PackPixels(pixels.data(), nullptr, w, bpp, h, stream, bytes);
        std::vector<uint8_t> got = Unpack(std::vector<uint8_t>(pixels.size(), 0x5A), stream, bytes, w, bpp, h);
        EXPECT_EQ(got, pixels) << "bpp " << bpp << " size " << w << "x" << h << " kind " << kind;
        if (kind != 0 && w * h >= 64 * 48) {
          EXPECT_LT(bytes, int32_t(pixels.size())) << "bpp " << bpp << " kind " << kind;
        }
        MemFree(stream);
      }
}

TEST(PackRoundTrip, FramesWithSkipsDecodeIntoThePreviousFrame) {
  const int32_t w = 90, h = 40, bpp = 3;
  std::vector<uint8_t> frame = MakePicture(0, w, h, bpp, 11);
  Random r{99};
  for (int32_t step = 0; step < 6; ++step) {
    std::vector<uint8_t> next = frame;
    // A moving patch and a few scattered changes.
    for (int32_t y = 5 + step; y < 15 + step; ++y)
      for (int32_t x = 0; x < 30 * bpp; ++x) next[size_t(y) * w * bpp + step * 6 + x] = uint8_t(r.Next());
    for (int32_t k = 0; k < 20; ++k) next[r.Next() % next.size()] ^= 0xFF;
    uint8_t* stream = nullptr;
    int32_t bytes = 0;
    PackPixels(next.data(), frame.data(), w, bpp, h, stream, bytes);
    EXPECT_EQ(Unpack(frame, stream, bytes, w, bpp, h), next) << step;
    EXPECT_LT(bytes, int32_t(next.size()) / 4) << step;
    MemFree(stream);
    frame = next;
  }
}

TEST(PackRoundTrip, LongRunsAndLongSkipsSplitAtTheirLimits) {
  const int32_t w = 100000, bpp = 1;
  std::vector<uint8_t> previous(w, 3), pixels(w, 3);
  pixels[70000] = 4;
  uint8_t* stream = nullptr;
  int32_t bytes = 0;
  PackPixels(pixels.data(), previous.data(), w, bpp, 1, stream, bytes);
  EXPECT_EQ(Unpack(previous, stream, bytes, w, bpp, 1), pixels);
  PackPixels(pixels.data(), nullptr, w, bpp, 1, stream, bytes);
  EXPECT_EQ(Unpack(std::vector<uint8_t>(w), stream, bytes, w, bpp, 1), pixels);
  MemFree(stream);
}

TEST(PackBlock, SavedBlocksLoadBackRawAndPacked) {
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    ImageBuffer image, loaded;
    ImgInit(image);
    ImgInit(loaded);
    ImgAlloc(image, 33, 17, bits);
    std::vector<uint8_t> pixels = MakePicture(3, 33, 17, image.BytesPerPixel, uint32_t(bits));
    std::memcpy(image.Pixels, pixels.data(), pixels.size());
    for (int32_t i = 0; i < 256; ++i) image.Palette[i] = PaletteEntry{uint8_t(i), uint8_t(255 - i), 7};
    for (bool compressed : {false, true}) {
      uint8_t* block = nullptr;
      int32_t length = 0;
      ImgSaveToMemory(image, nullptr, compressed, block, length);
      ImgLoadFromMemory(block, length, loaded);
      EXPECT_EQ(loaded.BitsPerPixel, bits == 15 ? 16 : bits);
      EXPECT_EQ(0, std::memcmp(loaded.Pixels, pixels.data(), pixels.size())) << bits << compressed;
      if (bits == 8) {
        EXPECT_EQ(0, std::memcmp(loaded.Palette, image.Palette, 768));
      }
      MemFree(block);
    }
    ImgFree(image);
    ImgFree(loaded);
  }
}

TEST(PackBlock, BadArgumentsCannotCompress) {
  const ErrorPair cannot = ErrImgCannotCompress;
  uint8_t pixel[4] = {};
  uint8_t* stream = nullptr;
  int32_t bytes = 0;
  EXPECT_EQ(ErrorOf([&] { PackPixels(pixel, nullptr, 0, 1, 1, stream, bytes); }), cannot);
  EXPECT_EQ(ErrorOf([&] { PackPixels(pixel, nullptr, 1, 5, 1, stream, bytes); }), cannot);
  EXPECT_EQ(ErrorOf([&] { PackPixels(nullptr, nullptr, 1, 1, 1, stream, bytes); }), cannot);
  EXPECT_EQ(ErrorOf([&] { PackPixels(pixel, nullptr, 50000, 4, 50000, stream, bytes); }), cannot);
  EXPECT_EQ(ErrorOf([&] { PackPixels(pixel, nullptr, INT32_MAX, 4, INT32_MAX, stream, bytes); }), cannot);
  EXPECT_EQ(stream, nullptr);

  ImageBuffer image, other;
  ImgInit(image);
  ImgInit(other);
  EXPECT_EQ(ErrorOf([&] { ImgSaveToMemory(image, nullptr, true, stream, bytes); }), cannot);
  ImgAlloc(image, 4, 4, 24);
  ImgAlloc(other, 4, 5, 24);
  EXPECT_EQ(ErrorOf([&] { ImgSaveToMemory(image, &other, true, stream, bytes); }), cannot);
  ImgFree(image);
  ImgFree(other);
}

// A record re-described larger than its block (ImgSetGeometry keeps the
// block) is refused whole, raw or packed, as picture or as previous
// picture: nothing is read past the block and nothing is left allocated.
TEST(PackBlock, BlocksShorterThanTheirGeometryCannotCompress) {
  const ErrorPair cannot = ErrImgCannotCompress;
  ImageBuffer image, previous;
  ImgInit(image);
  ImgInit(previous);
  ImgAlloc(image, 4, 4, 24);
  ImgAlloc(previous, 8, 8, 24);
  ImgSetGeometry(image, 8, 8, 24);
  const int32_t blocks = MemCount();
  for (bool compressed : {false, true}) {
    uint8_t* block = nullptr;
    int32_t length = -1;
    EXPECT_EQ(ErrorOf([&] { ImgSaveToMemory(image, nullptr, compressed, block, length); }), cannot);
    EXPECT_EQ(ErrorOf([&] { ImgSaveToMemory(previous, &image, compressed, block, length); }), cannot);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(length, -1);
    EXPECT_EQ(MemCount(), blocks);
  }
  // Described back within its block, it saves.
  ImgSetGeometry(image, 4, 2, 24);
  uint8_t* block = nullptr;
  int32_t length = 0;
  ImgSaveToMemory(image, nullptr, false, block, length);
  EXPECT_EQ(length, PictureHeaderBytes + 4 * 2 * 3);
  MemFree(block);
  ImgFree(image);
  ImgFree(previous);
}
