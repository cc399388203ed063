#include <gtest/gtest.h>

#include <vector>

#include "ImageFixture.h"
#include "LoadTestSupport.h"
#include "image/ImageBuffer.h"
#include "image/Load.h"

namespace {

const ErrorPair HeaderInvalid = ErrImgHeaderInvalid;
const ErrorPair DataCorrupted = ErrImgDataCorrupted;

std::vector<uint8_t> Pixels(const ImageBuffer& image) {
  return std::vector<uint8_t>(image.Pixels, image.Pixels + image.Width * image.Height * image.BytesPerPixel);
}

std::vector<uint8_t> StreamBlock(int32_t width, int32_t height, int32_t bpp, const StreamBits& s) {
  return MakeBlock(width, height, bpp, 1, s.Bytes, std::vector<uint8_t>(bpp == 1 ? 768 : 0));
}

// Decodes a stream into a fresh image of the given geometry.
std::vector<uint8_t> Decode(int32_t width, int32_t height, int32_t bpp, StreamBits& s) {
  ImageBuffer image;
  ImgInit(image);
  std::vector<uint8_t> block = StreamBlock(width, height, bpp, s);
  ImgLoadFromMemory(block.data(), int32_t(block.size()), image);
  std::vector<uint8_t> result = Pixels(image);
  ImgFree(image);
  return result;
}

ErrorPair DecodeError(int32_t width, int32_t height, int32_t bpp, const StreamBits& s) {
  std::vector<uint8_t> block = StreamBlock(width, height, bpp, s);
  int32_t before = MemCount();
  ImageBuffer image;
  ImgInit(image);
  ErrorPair e = ErrorOf([&] { ImgLoadFromMemory(block.data(), int32_t(block.size()), image); });
  EXPECT_EQ(image.Pixels, nullptr);
  EXPECT_EQ(MemCount(), before);
  ImgFree(image);
  return e;
}

}  // namespace

TEST(LoadLength, CodesGiveTheirValuesAndSizes) {
  struct Case {
    uint64_t Bits;
    int32_t Count, Value;
  } cases[] = {
      {0b10, 2, 2},          {0b11, 2, 3},           {0b0111, 4, 7},
      {0b0100, 4, 4},        {0b001000, 6, 8},       {0b00000011111111, 14, 255},
      {0b0000000111111111, 16, 767}, {0, 16, 256}, {0b0000000100000000, 16, 512},
  };
  for (const Case& c : cases) {
    int32_t used = 0;
    EXPECT_EQ(ReadLength(c.Bits << (64 - c.Count), used), c.Value) << c.Bits;
    EXPECT_EQ(used, c.Count) << c.Bits;
  }
}

TEST(LoadBlock, RawPixelsAreCopiedWithoutTheHeader) {
  std::vector<uint8_t> pixels;
  for (int32_t i = 0; i < 2 * 3 * 3; ++i) pixels.push_back(uint8_t(i * 7 + 1));
  std::vector<uint8_t> block = MakeBlock(2, 3, 3, 0, pixels);
  ImageBuffer image;
  ImgInit(image);
  ImgLoadFromMemory(block.data(), int32_t(block.size()), image);
  EXPECT_EQ(image.Width, 2);
  EXPECT_EQ(image.Height, 3);
  EXPECT_EQ(image.BitsPerPixel, 24);
  EXPECT_EQ(Pixels(image), pixels);
  ImgFree(image);
}

TEST(LoadBlock, BytesPerPixelGiveTheDepths) {
  const int32_t depths[] = {8, 16, 24, 32};
  for (int32_t bpp = 1; bpp <= 4; ++bpp) {
    std::vector<uint8_t> block = MakeBlock(1, 1, bpp, 0, std::vector<uint8_t>(bpp, 9),
                                           std::vector<uint8_t>(bpp == 1 ? 768 : 0, 1));
    ImageBuffer image;
    ImgInit(image);
    ImgLoadFromMemory(block.data(), int32_t(block.size()), image);
    EXPECT_EQ(image.BitsPerPixel, depths[bpp - 1]);
    EXPECT_EQ(image.BytesPerPixel, bpp);
    ImgFree(image);
  }
}

TEST(LoadBlock, OneBytePixelsTakeThePaletteFirst) {
  std::vector<uint8_t> palette(768);
  for (int32_t i = 0; i < 768; ++i) palette[i] = uint8_t(i * 5);
  std::vector<uint8_t> block = MakeBlock(2, 1, 1, 0, {200, 201}, palette);
  ASSERT_EQ(block[784], 200);
  ImageBuffer image;
  ImgInit(image);
  ImgLoadFromMemory(block.data(), int32_t(block.size()), image);
  EXPECT_EQ(0, std::memcmp(image.Palette, palette.data(), 768));
  EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{200, 201}));
  ImgFree(image);
}

TEST(LoadBlock, BadHeadersAreRefusedBeforeAllocating) {
  struct Case {
    const char* What;
    std::vector<uint8_t> Block;
  } cases[] = {
      {"shorter than a header", std::vector<uint8_t>(15, 1)},
      {"width 0", MakeBlock(0, 1, 3, 0, {})},
      {"negative height", MakeBlock(1, -1, 3, 0, {1, 2, 3})},
      {"0 bytes per pixel", MakeBlock(1, 1, 0, 0, {1})},
      {"5 bytes per pixel", MakeBlock(1, 1, 5, 0, std::vector<uint8_t>(5))},
      {"pixels beyond 32 bits", MakeBlock(65536, 65536, 1, 0, std::vector<uint8_t>(768))},
      {"pixel count whose size passes 64 bits", MakeBlock(INT32_MAX, INT32_MAX, 4, 1, {})},
      {"pixels beyond what MemAlloc takes", MakeBlock(40000, 20000, 3, 0, {})},
      {"raw pixels one byte short", MakeBlock(2, 2, 3, 0, std::vector<uint8_t>(11))},
      {"palette cut short", MakeBlock(1, 1, 1, 0, std::vector<uint8_t>(700))},
      {"empty stream", MakeBlock(1, 1, 3, 1, {})},
      {"stream too short for its picture", MakeBlock(4000, 4000, 4, 1, std::vector<uint8_t>(4000))},
  };
  for (const Case& c : cases) {
    int32_t before = MemCount();
    ImageBuffer image;
    ImgInit(image);
    EXPECT_EQ(ErrorOf([&] { ImgLoadFromMemory(c.Block.data(), int32_t(c.Block.size()), image); }),
              HeaderInvalid)
        << c.What;
    EXPECT_EQ(MemCount(), before) << c.What;
    EXPECT_EQ(image.Pixels, nullptr) << c.What;
  }
  ImageBuffer image;
  ImgInit(image);
  EXPECT_EQ(ErrorOf([&] { ImgLoadFromMemory(nullptr, 100, image); }), HeaderInvalid);
  EXPECT_EQ(ErrorText(ErrImgHeaderInvalid), "Image header invalid.");
}

TEST(LoadStream, LiteralsAndRunsAtEveryDepth) {
  StreamBits s;
  s.Literal(1).Literal(2).Literal(3).Put(0, 4).Put(10, 8).Put(0x1411, 16).Length(3).End();
  EXPECT_EQ(Decode(4, 1, 3, s), (std::vector<uint8_t>{1, 2, 3, 10, 0x11, 0x14, 10, 0x11, 0x14, 10, 0x11, 0x14}));

  StreamBits two;
  two.Put(0, 4).Put(0xAB, 8).Put(0xCD, 8).Length(3).End();
  EXPECT_EQ(Decode(3, 1, 2, two), (std::vector<uint8_t>{0xCD, 0xAB, 0xCD, 0xAB, 0xCD, 0xAB}));

  for (int32_t bpp : {1, 4}) {
    StreamBits bytes;
    bytes.ByteRun(7, 4 * bpp).End();
    EXPECT_EQ(Decode(4, 1, bpp, bytes), std::vector<uint8_t>(4 * bpp, 7)) << bpp;
  }
}

TEST(LoadStream, CopiesReachTheirSources) {
  // Copy from above with c = 0: two bytes from exactly one line above.
  StreamBits above;
  above.Literal(5).Literal(6).Literal(7).Above(2).Literal(9).End();
  EXPECT_EQ(Decode(3, 2, 1, above), (std::vector<uint8_t>{5, 6, 7, 5, 6, 9}));

  // d = 0, o = 63 copies from the byte just before: length 5 repeats it.
  StreamBits repeat;
  repeat.Literal(4).Reference(0, 63, 5).End();
  EXPECT_EQ(Decode(6, 1, 1, repeat), (std::vector<uint8_t>{4, 4, 4, 4, 4, 4}));

  // d = 12, o = 1: one line up, one byte to the right.
  StreamBits upRight;
  upRight.Literal(1).Literal(2).Literal(3).Literal(4).Literal(8).Reference(12, 1, 3).End();
  EXPECT_EQ(Decode(4, 2, 1, upRight), (std::vector<uint8_t>{1, 2, 3, 4, 8, 3, 4, 8}));

  // d = 1, o = 63: one line up and one byte to the left.
  StreamBits upLeft;
  for (int32_t i = 0; i < 12; ++i) upLeft.Literal(uint8_t(i));
  upLeft.Reference(1, 63, 2).ByteRun(0, 6).End();
  std::vector<uint8_t> got = Decode(10, 2, 1, upLeft);
  EXPECT_EQ(got[12], 1);
  EXPECT_EQ(got[13], 2);
}

TEST(LoadStream, RepeatsCopyWhatTheirBackReferenceCopied) {
  StreamBits s;
  s.Literal(1).Literal(2).Reference(0, 62, 2).Literal(3).Repeat(0).End();
  EXPECT_EQ(Decode(7, 1, 1, s), (std::vector<uint8_t>{1, 2, 1, 2, 3, 1, 2}));
}

TEST(LoadStream, SkipsKeepThePreviousPictureOfTheSameSize) {
  std::vector<uint8_t> first(80, 0xEE);
  std::vector<uint8_t> block = MakeBlock(80, 1, 1, 0, first, std::vector<uint8_t>(768));
  ImageBuffer image;
  ImgInit(image);
  ImgLoadFromMemory(block.data(), int32_t(block.size()), image);

  StreamBits s;  // 1 literal, a short skip of 2, a long skip of 66, 1 literal, end
  s.Literal(1).ShortSkip(2).LongSkip(2, 0).Literal(2).ShortSkip(10).End();
  // The rest of the line stays as the first picture left it.
  std::vector<uint8_t> second = MakeBlock(80, 1, 1, 1, s.Bytes, std::vector<uint8_t>(768));
  ImgLoadFromMemory(second.data(), int32_t(second.size()), image);
  std::vector<uint8_t> want(80, 0xEE);
  want[0] = 1;
  want[69] = 2;
  EXPECT_EQ(Pixels(image), want);
  ImgFree(image);
}

TEST(LoadStream, EndsOnlyAtTheEndOfThePicture) {
  // An end token before the picture is full is a long skip.
  StreamBits s;
  s.Literal(1).Put(1, 4).Put(3, 2).Put(0, 6).Length(2).Literal(9).End();
  std::vector<uint8_t> got = Decode(68, 1, 1, s);
  EXPECT_EQ(got[0], 1);
  EXPECT_EQ(got[67], 9);
}

TEST(LoadStream, MalformedStreamsAreCorrupted) {
  struct Case {
    const char* What;
    int32_t Width, Height, Bpp;
    StreamBits Stream;
  } cases[] = {
      {"literal past the end", 2, 1, 1, StreamBits().Literal(1).Literal(2).Literal(3).End()},
      {"run past the end", 2, 1, 3, StreamBits().Put(0, 4).Put(1, 8).Put(2, 16).Length(3).End()},
      {"byte run past the end", 4, 1, 1, StreamBits().ByteRun(1, 5).End()},
      {"copy from above on the first line", 4, 2, 1, StreamBits().Literal(1).Above(2).End()},
      {"copy from above past the end", 2, 2, 1,
       StreamBits().Literal(1).Literal(2).Literal(3).Above(2).End()},
      {"back-reference before the start", 8, 1, 1, StreamBits().Literal(1).Reference(0, 0, 2).End()},
      {"back-reference up past the start", 4, 2, 1,
       StreamBits().Literal(1).Literal(2).Reference(12, 0, 2).End()},
      {"back-reference past the end", 3, 1, 1, StreamBits().Literal(1).Reference(0, 63, 3).End()},
      {"repeat of an empty ring entry", 4, 1, 1, StreamBits().Literal(1).Literal(2).Repeat(0).End()},
      {"repeat of a later ring entry", 8, 1, 1,
       StreamBits().Literal(1).Reference(0, 63, 2).Repeat(1).End()},
      {"stream ends before its end token", 4, 1, 1, StreamBits().Literal(1).Literal(2)},
      {"end token cut short", 1, 1, 1, StreamBits().Literal(1).Put(1, 4).Put(3, 2)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DecodeError(c.Width, c.Height, c.Bpp, c.Stream), DataCorrupted) << c.What;
  EXPECT_EQ(ErrorText(ErrImgDataCorrupted), "Image data corrupted.");
}

TEST(LoadStream, AFailedLoadKeepsAnEarlierBlock) {
  std::vector<uint8_t> block = MakeBlock(4, 1, 1, 0, {1, 2, 3, 4}, std::vector<uint8_t>(768));
  ImageBuffer image;
  ImgInit(image);
  ImgLoadFromMemory(block.data(), int32_t(block.size()), image);
  int32_t before = MemCount();
  StreamBits s;
  s.Literal(9).Above(2).End();
  std::vector<uint8_t> bad = MakeBlock(4, 1, 1, 1, s.Bytes, std::vector<uint8_t>(768));
  EXPECT_EQ(ErrorOf([&] { ImgLoadFromMemory(bad.data(), int32_t(bad.size()), image); }), DataCorrupted);
  EXPECT_TRUE(ImgHasPixels(image));
  EXPECT_EQ(Pixels(image), (std::vector<uint8_t>{9, 2, 3, 4}));
  EXPECT_EQ(MemCount(), before);
  ImgFree(image);
}

TEST(LoadStream, UnpackRefusesImpossibleTargets) {
  StreamBits s;
  s.Literal(1).End();
  uint8_t target[4] = {};
  EXPECT_EQ(ErrorOf([&] { UnpackPixels(s.Bytes.data(), 2, nullptr, 1, 1, 1); }), HeaderInvalid);
  EXPECT_EQ(ErrorOf([&] { UnpackPixels(s.Bytes.data(), 2, target, 0, 1, 1); }), HeaderInvalid);
  EXPECT_EQ(ErrorOf([&] { UnpackPixels(s.Bytes.data(), 2, target, 1, 5, 1); }), HeaderInvalid);
  EXPECT_EQ(ErrorOf([&] { UnpackPixels(s.Bytes.data(), 2, target, 65536, 4, 65536); }), HeaderInvalid);
  EXPECT_EQ(ErrorOf([&] { UnpackPixels(s.Bytes.data(), int32_t(s.Bytes.size()), target, 1, 1, 1); }), (ErrorPair{0, 0}));
  EXPECT_EQ(target[0], 1);
}

// With the table of tracked blocks full, loading into a fresh record fails
// with the table's error and leaves neither a block nor a pointer behind
// (the leak sanitizer watches the untracked ones); one entry free is enough.
TEST(LoadBlock, AFullTableFailsTheLoadAndLeaksNothing) {
  StreamBits s;
  s.ByteRun(7, 16).End();
  for (int32_t compressed : {0, 1}) {
    std::vector<uint8_t> block =
        compressed ? MakeBlock(2, 2, 4, 1, s.Bytes) : MakeBlock(2, 2, 4, 0, std::vector<uint8_t>(16, 7));
    for (int32_t free : {0, 1}) {
      ImageBuffer image;
      ImgInit(image);
      {
        FullTable table(free);
        const int32_t before = MemCount();
        const ErrorPair error = ErrorOf([&] { ImgLoadFromMemory(block.data(), int32_t(block.size()), image); });
        EXPECT_EQ(error, free ? (ErrorPair{0, 0}) : ErrMemFatal) << compressed;
        EXPECT_EQ(MemCount(), before + (free ? 1 : 0));
        if (free) {
          EXPECT_EQ(Pixels(image), std::vector<uint8_t>(16, 7));
          ImgFree(image);
        }
        EXPECT_EQ(image.Pixels, nullptr);
      }
    }
  }
}
