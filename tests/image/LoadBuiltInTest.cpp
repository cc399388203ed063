#include <gtest/gtest.h>

#include <cstring>

#include "assets/BuiltInPicture.h"
#include "assets/SpiralPicture.h"
#include "image/ImageBuffer.h"
#include "image/Load.h"

TEST(LoadBuiltIn, LoadsAs160By120At24Bits) {
  EXPECT_EQ(BuiltInPictureBytes, 57616);
  ImageBuffer image;
  ImgInit(image);
  ImgLoadFromMemory(BuiltInPicture, BuiltInPictureBytes, image);
  EXPECT_EQ(image.Width, 160);
  EXPECT_EQ(image.Height, 120);
  EXPECT_EQ(image.BitsPerPixel, 24);
  EXPECT_EQ(image.Size, 57600);
  EXPECT_EQ(0, std::memcmp(image.Pixels, BuiltInPicture + 16, 57600));
  ImgFree(image);
}

TEST(LoadBuiltIn, TheGeneratorMakesTheEmbeddedBytes) {
  ImageBuffer image;
  ImgInit(image);
  MakeSpiralPicture(image, 160, 120);
  const int32_t header[4] = {160, 120, 3, 0};
  EXPECT_EQ(0, std::memcmp(BuiltInPicture, header, 16));
  EXPECT_EQ(0, std::memcmp(image.Pixels, BuiltInPicture + 16, 57600));
  ImgFree(image);
}
