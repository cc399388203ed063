#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ImageFixture.h"
#include "LoadTestSupport.h"
#include "reference/Scale.h"
#include "assets/BuiltInPicture.h"
#include "image/ImageBuffer.h"
#include "image/Load.h"
#include "image/Scale.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  Random r{seed};
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = uint8_t(r.Next() >> 7);
  return v;
}

void Fill(ImageBuffer& image, int32_t w, int32_t h, int32_t bits, const std::vector<uint8_t>& bytes) {
  ImgAlloc(image, w, h, bits);
  std::memcpy(image.Pixels, bytes.data(), size_t(w) * h * image.BytesPerPixel);
}

std::vector<uint8_t> Scaled(const std::vector<uint8_t>& pixels, int32_t w, int32_t h, int32_t bits, int32_t nw,
                            int32_t nh) {
  ImageBuffer src, dst;
  ImgInit(src);
  ImgInit(dst);
  Fill(src, w, h, bits, pixels);
  ImgScale(src, dst, nw, nh);
  std::vector<uint8_t> out(dst.Pixels, dst.Pixels + size_t(nw) * nh * dst.BytesPerPixel);
  ImgFree(src);
  ImgFree(dst);
  return out;
}

// Sample k of a test line: far apart so that every mean is told apart.
uint8_t P(int32_t k) { return uint8_t(8 + 40 * k); }

}  // namespace

TEST(ScaleTable, ReductionsAndEnlargementsInBothDirections) {
  // Each output sample is the truncated mean of the listed source samples.
  using Means = std::vector<std::vector<int32_t>>;
  struct Case {
    int32_t From, To;
    Means Horizontal, Vertical;
  } cases[] = {
      {6, 4, {{0, 1}, {2, 3}, {4}, {5}}, {{0, 1}, {2}, {3, 4}, {5}}},
      {5, 2, {{0, 1, 2}, {3, 4}}, {{0, 1, 2}, {3, 4}}},
      {3, 2, {{0, 1}, {2}}, {{0, 1}, {2}}},
      {4, 8, {{0}, {0, 1}, {1}, {1, 2}, {2}, {2, 3}, {3}, {3}}, {{0}, {0}, {0, 1}, {1}, {1, 2}, {2}, {2, 3}, {3}}},
      {4, 7, {{0}, {0, 1}, {1}, {1, 2}, {2}, {2, 3}, {3}}, {{0}, {0, 1}, {1}, {1, 2}, {2}, {2, 3}, {3}}},
      {4, 6, {{0}, {0, 1}, {1}, {1, 2}, {2}, {3}}, {{0}, {1}, {1, 2}, {2}, {2, 3}, {3}}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> line;
    for (int32_t k = 0; k < c.From; ++k) line.insert(line.end(), {P(k), uint8_t(P(k) + 1), uint8_t(255 - P(k))});
    for (int32_t vertical = 0; vertical < 2; ++vertical) {
      std::vector<uint8_t> want;
      for (const std::vector<int32_t>& samples : vertical ? c.Vertical : c.Horizontal)
        for (int32_t ch = 0; ch < 3; ++ch) {
          int32_t sum = 0;
          for (int32_t k : samples) sum += line[k * 3 + ch];
          want.push_back(uint8_t(sum / int32_t(samples.size())));
        }
      std::vector<uint8_t> got = vertical ? Scaled(line, 1, c.From, 24, 1, c.To) : Scaled(line, c.From, 1, 24, c.To, 1);
      EXPECT_EQ(got, want) << c.From << " to " << c.To << (vertical ? " vertically" : " horizontally");
    }
  }
}

TEST(ScaleTable, PreviewSizesAverageTheGivenPairs) {
  std::vector<uint8_t> row(160 * 3), column(120 * 3);
  for (int32_t k = 0; k < 160 * 3; ++k) row[k] = uint8_t(k / 3 * 3 + k % 3);
  for (int32_t k = 0; k < 120 * 3; ++k) column[k] = uint8_t(k / 3 * 2 + k % 3);
  auto expect = [](const std::vector<uint8_t>& src, const std::vector<uint8_t>& got, int32_t every, int32_t last) {
    size_t j = 0;
    for (int32_t i = 0; i < int32_t(src.size() / 3); ++j) {
      bool pair = i % every == 0 && i <= last;
      for (int32_t c = 0; c < 3; ++c) {
        uint8_t want = pair ? uint8_t((src[i * 3 + c] + src[(i + 1) * 3 + c]) >> 1) : src[i * 3 + c];
        ASSERT_EQ(got[j * 3 + c], want) << "source sample " << i;
      }
      i += pair ? 2 : 1;
    }
    EXPECT_EQ(j * 3, got.size());
  };
  expect(row, Scaled(row, 160, 1, 24, 152, 1), 20, 140);
  expect(column, Scaled(column, 1, 120, 24, 1, 112), 15, 105);
}

TEST(ScaleDepth, EqualSizeIsAByteExactCopy) {
  for (int32_t bits : {24, 32}) {
    std::vector<uint8_t> pixels = RandomBytes(17 * 9 * 4, uint32_t(bits));
    std::vector<uint8_t> got = Scaled(pixels, 17, 9, bits, 17, 9);
    EXPECT_EQ(got, std::vector<uint8_t>(pixels.begin(), pixels.begin() + got.size())) << bits;
  }
}

TEST(ScaleDepth, ResultsWorkAt24BitsOr32) {
  const int32_t depths[][2] = {{8, 24}, {15, 24}, {16, 24}, {24, 24}, {32, 32}};
  for (const auto& d : depths) {
    ImageBuffer src, dst;
    ImgInit(src);
    ImgInit(dst);
    Fill(src, 10, 6, d[0], RandomBytes(240, 5));
    ImgScale(src, dst, 7, 13);
    EXPECT_EQ(dst.BitsPerPixel, d[1]) << d[0];
    EXPECT_EQ(dst.Width, 7);
    EXPECT_EQ(dst.Height, 13);
    EXPECT_EQ(src.BitsPerPixel, d[0]);
    ImgFree(src);
    ImgFree(dst);
  }
}

TEST(ScaleDepth, EveryDepthScalesInItsOwnRecord) {
  const int32_t depths[][2] = {{8, 24}, {15, 24}, {16, 24}, {24, 24}, {32, 32}};
  for (const auto& d : depths) {
    ImageBuffer image;
    ImgInit(image);
    Fill(image, 9, 5, d[0], RandomBytes(180, 6));
    int32_t before = MemCount();
    ImgScale(image, image, 20, 3);
    EXPECT_EQ(image.BitsPerPixel, d[1]) << d[0];
    EXPECT_EQ(image.Width, 20);
    EXPECT_EQ(image.Height, 3);
    EXPECT_EQ(MemCount(), before) << d[0];
    ImgFree(image);
  }
}

// The scaler's byte loops run as the table holds them: vector and plain.
using ScaleLoops = VectorLoopsFixture;

TEST_P(ScaleLoops, RandomSizesMatchThePlainLoops) {
  Random r{2024};
  for (int32_t round = 0; round < 400; ++round) {
    int32_t bpp = r.Next() % 2 ? 3 : 4;
    auto size = [&] {
      uint32_t most = r.Next() % 4 ? 40 : 300;
      return int32_t(1 + r.Next() % most);
    };
    int32_t w = size(), h = size(), nw = size(), nh = size();
    if (nh < h / 200 + 1) nh = h / 200 + 1;  // within the merge limit
    if (round % 50 == 0) nh = 1 + h / 255 + int32_t(r.Next() % 2);  // merges near the limit
    std::vector<uint8_t> pixels = RandomBytes(size_t(w) * h * bpp, uint32_t(round + 1));
    ASSERT_EQ(Scaled(pixels, w, h, 8 * bpp, nw, nh), ref::Scale(pixels, w, h, bpp, nw, nh))
        << w << "x" << h << " to " << nw << "x" << nh << " at " << bpp;
  }
}

TEST_P(ScaleLoops, LineRoutinesMatchThePlainLoops) {
  Random r{77};
  for (int32_t round = 0; round < 300; ++round) {
    int32_t step = 1 + int32_t(r.Next() % 4), a = 1 + int32_t(r.Next() % 200), b = 1 + int32_t(r.Next() % 200);
    int32_t src = a > b ? a : b, dst = a > b ? b : a;  // a reduction src -> dst, an enlargement dst -> src
    int32_t most = src * step;
    std::vector<uint8_t> buffer = RandomBytes(size_t(most) * 3 + 320, uint32_t(round)), want = buffer;
    LineReduce(step, src * 70000 / dst, dst * step, src * step, buffer.data());
    ref::LineReduce(step, src * 70000 / dst, dst * step, src * step, want.data());
    ASSERT_EQ(buffer, want) << "reduce " << src << " to " << dst << " step " << step;
    LineEnlarge(step, src / dst, dst * 70000 / src, src * step, dst * step, buffer.data());
    ref::LineEnlarge(step, src / dst, dst * 70000 / src, src * step, dst * step, want.data());
    ASSERT_EQ(buffer, want) << "enlarge " << dst << " to " << src << " step " << step;
    int32_t count = int32_t(r.Next() % 100), offset = count + int32_t(r.Next() % 5);
    LineAccumulate(offset, count, buffer.data());
    ref::LineAccumulate(offset, count, want.data());
    LineAverage(1 + offset % 7, count, buffer.data());
    ref::LineAverage(1 + offset % 7, count, want.data());
    int32_t divisor = 1 + int32_t(r.Next() % 255);
    LineDivide(divisor, offset, count, buffer.data());
    ref::LineDivide(divisor, offset, count, want.data());
    ASSERT_EQ(buffer, want) << "accumulate, average, divide " << count << " by " << divisor;
  }
}

INSTANTIATE_TEST_SUITE_P(Vector, ScaleLoops, EveryCpuTier);

TEST(ScaleReference, LongDoubledLinesKeepTheirRatio) {
  // 15000 -> 30000 doubles to a line of 90000 bytes: 70000 x 90000 does
  // not fit 32 bits, and the doubled line is already the result.
  std::vector<uint8_t> pixels = RandomBytes(15000 * 3, 3);
  std::vector<uint8_t> got = Scaled(pixels, 15000, 1, 24, 30000, 1);
  for (int32_t k = 0; k < 15000; ++k) ASSERT_EQ(got[size_t(6) * k], pixels[size_t(3) * k]) << k;
  EXPECT_EQ(got, ref::Scale(pixels, 15000, 1, 3, 30000, 1));
}

TEST(ScaleReference, LinesAtTheSizeLimitKeepTheirRuns) {
  // The run rule's sums reach 70000 x 30678, just under 2^31, at the
  // largest ratios either way.
  const int32_t most = 30678;
  const int32_t cases[][2] = {{most, 1}, {most, 2}, {most, 3}, {most, most - 1}, {most, 4093},
                              {1, most}, {2, most}, {3, most}, {most - 1, most}, {4093, most}};
  for (const auto& c : cases) {
    std::vector<uint8_t> pixels = RandomBytes(size_t(c[0]) * 3, uint32_t(c[1]));
    ASSERT_EQ(Scaled(pixels, c[0], 1, 24, c[1], 1), ref::Scale(pixels, c[0], 1, 3, c[1], 1))
        << c[0] << " to " << c[1];
  }
}

TEST(ScaleLimits, CallsOutsideTheLimitsAreOutOfRange) {
  const ErrorPair outOfRange{4, 1};
  struct Case {
    int32_t W, H, NewW, NewH;
  } cases[] = {
      {4, 4, 0, 4}, {4, 4, 4, -1}, {4, 4, 30679, 1}, {4, 4, 1, 30679}, {30679, 1, 5, 1}, {256, 256, 256, 1},
      {1, 512, 1, 2},
  };
  for (const Case& c : cases) {
    ImageBuffer src, dst;
    ImgInit(src);
    ImgInit(dst);
    Fill(src, c.W, c.H, 24, RandomBytes(size_t(c.W) * c.H * 3, 1));
    Fill(dst, 2, 2, 24, RandomBytes(12, 2));
    int32_t before = MemCount();
    EXPECT_EQ(ErrorOf([&] { ImgScale(src, dst, c.NewW, c.NewH); }), outOfRange) << c.W << "x" << c.H << " to " << c.NewW << "x" << c.NewH;
    EXPECT_EQ(MemCount(), before);
    EXPECT_EQ(dst.Width, 2);
    ImgFree(src);
    ImgFree(dst);
  }
  EXPECT_EQ(ErrorText(4, 1), "Out of range.");
  // 255 lines into one is the most a merge takes.
  std::vector<uint8_t> column = RandomBytes(255 * 3, 9);
  EXPECT_EQ(Scaled(column, 1, 255, 24, 1, 1), ref::Scale(column, 1, 255, 3, 1, 1));
}

TEST(ScaleLimits, DivideByZeroChangesNothing) {
  std::vector<uint8_t> buffer = {1, 2, 3, 4, 5, 6};
  LineDivide(256, 2, 2, buffer.data());
  EXPECT_EQ(buffer, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(LastError(), (ErrorPair{4, 1}));
}

TEST(ScaleBuiltIn, ThePreviewPictureScalesInItsOwnRecord) {
  ImageBuffer image;
  ImgInit(image);
  ImgLoadFromMemory(BuiltInPicture, BuiltInPictureBytes, image);
  std::vector<uint8_t> pixels(image.Pixels, image.Pixels + 57600);
  int32_t before = MemCount();
  ImgScale(image, image, 152, 112);
  EXPECT_EQ(image.Width, 152);
  EXPECT_EQ(image.Height, 112);
  EXPECT_EQ(image.BitsPerPixel, 24);
  EXPECT_EQ(MemCount(), before);
  EXPECT_EQ(std::vector<uint8_t>(image.Pixels, image.Pixels + 152 * 112 * 3), ref::Scale(pixels, 160, 120, 3, 152, 112));
  ImgFree(image);
}

// With the table of tracked blocks filled to its last entries, a scale
// either works or fails with the table's error; either way it leaves behind
// no block and no pointer to a released one (the leak sanitizer watches the
// untracked ones), and the source still holds its pixels. In place and into
// a fresh record, at 24 bits and at 16 (which works on a converted copy).
TEST(ScaleLimits, AFullTableFailsCleanly) {
  // One fill of the table; each case frees its own few entries and a source.
  FullTable table(0);
  auto entries = [&](int32_t n, bool release) {
    for (int32_t j = 0; j < n; ++j) {
      char*& p = table.Blocks[table.Blocks.size() - 1 - size_t(j)];
      if (release)
        MemFree(p);
      else
        MemAlloc(p, 1);
    }
  };
  int32_t failures = 0;
  for (int32_t bits : {24, 16})
    for (bool inPlace : {false, true})
      for (int32_t free = 0; free <= 4; ++free) {
        entries(free + 1, true);
        ImageBuffer src, dst;
        ImgInit(src);
        ImgInit(dst);
        Fill(src, 40, 30, bits, RandomBytes(40 * 30 * 3, 5));
        const std::vector<uint8_t> pixels(src.Pixels, src.Pixels + src.Size);
        const int32_t before = MemCount();
        const ErrorPair error = ErrorOf([&] { ImgScale(src, inPlace ? src : dst, 20, 60); });
        if (error.Category != 0) {
          ++failures;
          EXPECT_EQ(error, ErrMemFatal) << bits << " bits, free " << free;
          EXPECT_EQ(MemCount(), before);
          ASSERT_TRUE(src.Pixels && MemTest(src.Pixels));
          // In place, a 16-bit source may be left at the work depth.
          if (!inPlace || src.BitsPerPixel == bits)
            EXPECT_EQ(std::vector<uint8_t>(src.Pixels, src.Pixels + src.Size), pixels) << bits << " bits";
          else
            EXPECT_EQ(src.BitsPerPixel, 24);
          EXPECT_EQ(dst.Pixels, nullptr);
        } else {
          EXPECT_EQ((inPlace ? src : dst).Width, 20);
        }
        ImgFree(src);
        ImgFree(dst);
        entries(free + 1, false);
      }
  EXPECT_GE(failures, 8) << "the table was never full enough";
}

// The division of the vertical reduction, by multiplication in 32 bits,
// against the plain quotient of every word by every divisor.
TEST(ScaleReference, LineDivideIsExactForEveryWordAndDivisor) {
  std::vector<uint8_t> buffer(3 * 65536);
  for (int32_t d = 1; d <= 255; ++d) {
    for (int32_t w = 0; w < 65536; ++w) {
      buffer[65536 + 2 * w] = uint8_t(w);
      buffer[65536 + 2 * w + 1] = uint8_t(w >> 8);
    }
    LineDivide(d, 65536, 65536, buffer.data());
    int32_t wrong = 0;
    for (int32_t w = 0; w < 65536; ++w) wrong += buffer[w] != uint8_t(w / d);
    ASSERT_EQ(wrong, 0) << "divisor " << d;
  }
}
