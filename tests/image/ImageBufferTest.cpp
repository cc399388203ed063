// The image record: allocation, release, copies and exchange.
#include <gtest/gtest.h>

#include "ImageFixture.h"

using Buffer = ImageFixture;

TEST_F(Buffer, InitZeroesEveryByte) {
  ImageBuffer img;
  std::memset(&img, 0xA5, sizeof img);
  ImgInit(img);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&img);
  EXPECT_TRUE(std::all_of(p, p + sizeof img, [](uint8_t b) { return b == 0; }));
}

TEST_F(Buffer, AllocSetsTheGeometryOfEachDepth) {
  struct Case {
    int32_t bits, bytes;
  } cases[] = {{8, 1}, {15, 2}, {16, 2}, {24, 3}, {32, 4}};
  for (const Case& c : cases) {
    Image img(160, 120, c.bits);
    EXPECT_EQ(img.BytesPerPixel, c.bytes);
    EXPECT_EQ(img.BitsPerPixel, c.bits);
    EXPECT_EQ(img.Size, 160 * 120 * c.bytes);
    EXPECT_GE(MemTable[MemFind(img.Pixels, ByBlock)].Size, img.Size);
    EXPECT_TRUE(ImgHasPixels(img));
  }
}

TEST_F(Buffer, GrowingKeepsTheFirstBytes) {
  Image img(4, 4, 24);
  for (int i = 0; i < 48; ++i) img.Pixels[i] = uint8_t(i);
  ImgAlloc(img, 100, 100, 24);
  EXPECT_EQ(MemCount(), base + 1);
  for (int i = 0; i < 48; ++i) EXPECT_EQ(img.Pixels[i], i);
  EXPECT_EQ(img.Width, 100);
}

TEST_F(Buffer, InvalidSizesAreMemoryErrorsAndKeepTheGeometry) {
  Image img(4, 4, 24);
  struct Case {
    int32_t w, h, bits;
  } cases[] = {{0, 4, 24}, {4, 0, 24}, {-4, -4, 24}, {65536, 65536, 24}, {4, 4, 0}};
  std::mt19937 rng(3);
  img.Fill(rng);
  const std::vector<uint8_t> bytes = img.Data();
  uint8_t* const block = img.Pixels;
  for (const Case& c : cases) {
    EXPECT_THROW(ImgAlloc(img, c.w, c.h, c.bits), EMon) << c.w << "x" << c.h;
    EXPECT_EQ(LastError(), (ErrorPair{5, 5}));
    EXPECT_EQ(img.Width, 4);
    EXPECT_EQ(img.Height, 4);
    EXPECT_EQ(img.BytesPerPixel, 3);
    EXPECT_EQ(img.BitsPerPixel, 24);
    EXPECT_EQ(img.Pixels, block);
    EXPECT_EQ(img.Data(), bytes);
    EXPECT_EQ(MemCount(), base + 1);
    // The size asked for is noted: the record no longer claims its pixels.
    EXPECT_EQ(img.Size, -1);
    EXPECT_FALSE(ImgHoldsPixels(img));
  }
  // A record without a tracked block ends with none and no geometry.
  Image fresh;
  fresh.Width = fresh.Height = 7;
  fresh.BitsPerPixel = 8;
  EXPECT_THROW(ImgAlloc(fresh, 0, 4, 24), EMon);
  EXPECT_EQ(fresh.Pixels, nullptr);
  EXPECT_EQ(fresh.Width, 0);
  EXPECT_EQ(fresh.Height, 0);
  EXPECT_EQ(fresh.BitsPerPixel, 0);
}

TEST_F(Buffer, FreeReleasesAndZeroes) {
  ImageBuffer img;
  ImgInit(img);
  ImgFree(img);  // nothing to release
  ImgAlloc(img, 3, 3, 8);
  img.Palette[9] = {1, 2, 3};
  ImgFree(img);
  EXPECT_EQ(MemCount(), base);
  EXPECT_EQ(img.Pixels, nullptr);
  EXPECT_EQ(img.Width, 0);
  EXPECT_EQ(img.Palette[9].Green, 0);
}

TEST_F(Buffer, SetGeometryLeavesTheSizeOfTrackedPixels) {
  Image img(10, 10, 24);
  ImgSetGeometry(img, 5, 4, 16);
  EXPECT_EQ(img.Width, 5);
  EXPECT_EQ(img.Height, 4);
  EXPECT_EQ(img.BytesPerPixel, 2);
  EXPECT_EQ(img.Size, 300);
  EXPECT_TRUE(ImgHoldsPixels(img));
  ImgSetGeometry(img, 20, 20, 24);
  EXPECT_FALSE(ImgHoldsPixels(img));  // more than the block holds
}

TEST_F(Buffer, CopyOfTheSameRecordChangesNothing) {
  Image img(3, 2, 24);
  std::mt19937 rng(1);
  img.Fill(rng);
  std::vector<uint8_t> before = img.Data();
  uint8_t* block = img.Pixels;
  ImgCopy(img, img);
  ImgCopyPixels(img, img);
  EXPECT_EQ(img.Pixels, block);
  EXPECT_EQ(img.Data(), before);
}

TEST_F(Buffer, CopyCarriesThePaletteOfIndexedImagesOnly) {
  Image indexed(2, 2, 8), wide(2, 2, 24);
  std::mt19937 rng(2);
  indexed.Fill(rng);
  wide.Fill(rng);
  indexed.Palette[4] = {9, 8, 7};
  wide.Palette[4] = {1, 1, 1};
  Image a, b;
  b.Palette[4] = {5, 5, 5};
  ImgCopy(indexed, a);
  ImgCopy(wide, b);
  EXPECT_EQ(a.Data(), indexed.Data());
  EXPECT_EQ(a.Palette[4].Blue, 9);
  EXPECT_EQ(b.Data(), wide.Data());
  EXPECT_EQ(b.Palette[4].Blue, 5);
}

TEST_F(Buffer, CopyOfASourceWithoutPixelsIsReported) {
  Image empty, target(2, 2, 24);
  ImgSetGeometry(empty, 4, 4, 24);  // geometry, but no block to read
  EXPECT_THROW(ImgCopyPixels(empty, target), EMon);
  EXPECT_EQ(LastError(), (ErrorPair{7, 2}));
  EXPECT_EQ(target.Width, 2);
}

TEST_F(Buffer, SwapExchangesEverythingAndTheOwners) {
  Image a(2, 2, 24), b(3, 1, 8);
  a.Pixels[0] = 11;
  b.Pixels[0] = 22;
  b.Palette[1] = {7, 7, 7};
  uint8_t* pa = a.Pixels;
  uint8_t* pb = b.Pixels;
  ImgSwap(a, b);
  EXPECT_EQ(a.Pixels, pb);
  EXPECT_EQ(b.Pixels, pa);
  EXPECT_EQ(a.Width, 3);
  EXPECT_EQ(a.BitsPerPixel, 8);
  EXPECT_EQ(a.Palette[1].Red, 7);
  EXPECT_EQ(b.Width, 2);
  EXPECT_EQ(MemTable[MemFind(a.Pixels, ByBlock)].Owner, &a.Pixels);
  ImgFree(a);
  EXPECT_TRUE(MemTest(b.Pixels));
  EXPECT_EQ(b.Pixels[0], 11);
}

TEST_F(Buffer, SwapWithAnEmptyRecordFails) {
  Image a(2, 2, 24), empty;
  EXPECT_THROW(ImgSwap(a, empty), EMon);
  EXPECT_EQ(LastError(), (ErrorPair{5, 2}));
  EXPECT_EQ(a.Width, 2);
  EXPECT_EQ(empty.Pixels, nullptr);
}
