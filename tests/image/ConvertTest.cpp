// Depth conversion of whole images (ImgConvert).
#include <gtest/gtest.h>

#include "ImageFixture.h"
#include "image/Convert.h"
#include "reference/PixelFormats.h"

using ref::Reference;

using Convert = ImageFixture;

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
