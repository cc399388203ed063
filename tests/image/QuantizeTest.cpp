// The palette optimiser: counting, the exact and the box palettes, black
// first, the nearest-colour search; the list-based splitting against a plain
// scan of the cube.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "ImageFixture.h"
#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/QuantizeInternal.h"
#include "reference/Quantize.h"
#include "runtime/HeapSeam.h"

using ref::PlainQuantizer;

namespace {

// A picture of clustered colours: a few hundred centres, each pixel a centre
// plus a little noise, so that cells hold counts above one.
void Clustered(Image& img, std::mt19937& rng, int centres, int noise) {
  std::vector<std::array<int, 3>> c(centres);
  for (auto& v : c) v = {int(rng() % 256), int(rng() % 256), int(rng() % 256)};
  for (int32_t i = 0; i < img.Width * img.Height; ++i) {
    const auto& v = c[rng() % centres];
    uint8_t* p = img.Pixels + i * img.BytesPerPixel;
    for (int a = 0; a < 3; ++a) p[a] = uint8_t(Clamp(v[a] + int(rng() % (2 * noise + 1)) - noise, 0, 255));
  }
}

// Counts an image into a fresh work area and returns a copy of the cells.
std::vector<int32_t> Counted(const ImageBuffer& img) {
  QuantPrepare();
  QuantCount(img);
  QuantArea& a = *QuantWorkArea();
  return std::vector<int32_t>(a.Histogram, a.Histogram + QuantCells);
}

bool SameEntry(const PaletteEntry& a, const PaletteEntry& b) {
  return a.Blue == b.Blue && a.Green == b.Green && a.Red == b.Red;
}

}  // namespace

using Quant = ImageFixture;

TEST_F(Quant, SplittingMatchesThePlainScanOfTheCube) {
  std::mt19937 rng(11);
  struct Case {
    int centres, noise, colours;
  } cases[] = {{300, 6, 256}, {40, 20, 17}, {2000, 1, 64}, {5, 40, 2}};
  for (const Case& c : cases) {
    Image img(48, 48, 24);
    Clustered(img, rng, c.centres, c.noise);
    PlainQuantizer plain;
    plain.h = Counted(img);
    plain.Build(c.colours);
    QuantBuild(c.colours);
    QuantArea& a = *QuantWorkArea();
    ASSERT_GT(a.ColourCount, c.colours);
    EXPECT_EQ(a.BoxCount, int32_t(plain.boxes.size()));
    for (int i = 0; i < 256; ++i) EXPECT_TRUE(SameEntry(a.QuantPalette[i], plain.palette[i])) << i;
    // The boxes filled whole give the plain cube.
    QuantFillVolumes();
    EXPECT_TRUE(std::equal(plain.h.begin(), plain.h.end(), a.Histogram)) << c.centres;
    // Filled lazily, cell by cell, too: a box's index inside a box, the
    // nearest colour outside.
    Counted(img);
    QuantBuild(c.colours);
    QuantArea& lazy = *QuantWorkArea();
    for (int32_t cell = 0; cell < QuantCells; cell += 13) {
      int32_t expected = plain.h[cell] != -1 ? plain.h[cell]
                                             : QuantNearest(4 * (cell & 63), 4 * (cell >> 6 & 63), 4 * (cell >> 12),
                                                            plain.target, plain.palette);
      ASSERT_EQ(QuantLookup(lazy, cell), expected) << cell;
    }
    QuantRelease();
  }
}

// QuantRelease clears only the cells that it knows were written, from the
// boxes' runs or the lists: whatever was built, the next quantisation must
// start from an empty cube, also when the boxes' runs are not a cut's.
TEST_F(Quant, ReleaseLeavesTheNextQuantisationAnEmptyCube) {
  std::mt19937 rng(31);
  struct Case {
    int centres, noise, colours;
    bool spoilRuns;
  } cases[] = {{300, 6, 256, false}, {40, 20, 17, false}, {3, 0, 256, false}, {2000, 1, 2, false},
               {300, 6, 64, true}};
  for (const Case& c : cases) {
    Image img(64, 40, 24);
    Clustered(img, rng, c.centres, c.noise);
    QuantPrepare();
    QuantCount(img);
    QuantBuild(c.colours);
    QuantArea& a = *QuantWorkArea();
    if (c.spoilRuns) a.BoxLast[0] = a.ColourCount + 1;
    QuantRelease();
    QuantPrepare();
    const int32_t* h = QuantWorkArea()->Histogram;
    EXPECT_EQ(std::count(h, h + QuantCells, -1), QuantCells) << c.centres << " centres, " << c.colours;
    QuantRelease();
  }
}

// A section that fails after QuantPrepare frees the work area behind the
// optimiser's pointer, and the released block soon serves another owner:
// the next quantisation must neither work in it nor free it.
TEST_F(Quant, AFreedWorkAreaIsLeftToItsNextOwner) {
  const MemKeepingForTests keeping;  // the released block is handed out again
  EXPECT_THROW(MonRun([] {
                 QuantPrepare();
                 MonSetError(ErrImgInvalidFormat);
               }),
               EMon);
  const void* freed = QuantWorkArea();
  char* other = nullptr;
  MemAlloc(other, int32_t(sizeof(QuantArea)), 0, "other");
  ASSERT_EQ(static_cast<const void*>(other), freed) << "the released block was not handed out again";
  std::memset(other, 7, sizeof(QuantArea));
  QuantPrepare();
  EXPECT_NE(static_cast<const void*>(QuantWorkArea()), freed);
  QuantRelease();
  EXPECT_TRUE(MemTest(other));
  EXPECT_EQ(other[sizeof(QuantArea) - 1], 7);
  MemFree(other);
}

TEST_F(Quant, FewColoursAreKeptExactly) {
  Image img(3, 1, 24);
  img.Set({255, 255, 255, 8, 4, 2, 0, 0, 0});  // white, (blue 8, green 4, red 2), black
  Counted(img);
  QuantBuild(256);
  QuantArea& a = *QuantWorkArea();
  // In cell order: black, (red 0, green 1, blue 2), white as 252.
  EXPECT_TRUE(SameEntry(a.QuantPalette[0], {0, 0, 0}));
  EXPECT_TRUE(SameEntry(a.QuantPalette[1], {8, 4, 0}));
  EXPECT_TRUE(SameEntry(a.QuantPalette[2], {252, 252, 252}));
  for (int i = 3; i < 256; ++i) EXPECT_TRUE(SameEntry(a.QuantPalette[i], {255, 255, 255})) << i;
  EXPECT_EQ(a.Histogram[QuantCell(63, 63, 63)], 2);
  EXPECT_EQ(a.Histogram[QuantCell(0, 1, 2)], 1);
  EXPECT_EQ(a.Histogram[QuantCell(1, 1, 1)], -1);
  QuantRelease();
}

TEST_F(Quant, BlackOrTheNearestColourToItComesFirst) {
  Image img(3, 1, 24);
  img.Set({200, 200, 200, 40, 40, 40, 0, 0, 252});  // grey 200, grey 40, red 252
  Counted(img);
  QuantBuild(256);
  QuantArea& a = *QuantWorkArea();
  // Cell order puts red (levels 63, 0, 0) first; grey 40 is nearer black.
  EXPECT_TRUE(SameEntry(a.QuantPalette[0], {40, 40, 40}));
  EXPECT_TRUE(SameEntry(a.QuantPalette[1], {0, 0, 252}));
  EXPECT_EQ(a.Histogram[QuantCell(10, 10, 10)], 0);
  EXPECT_EQ(a.Histogram[QuantCell(63, 0, 0)], 1);  // took the old place of grey 40
  EXPECT_EQ(a.Histogram[QuantCell(50, 50, 50)], 2);
  QuantRelease();
}

TEST_F(Quant, OneColourGivesOneEntryAndWhite) {
  Image img(5, 5, 32);
  for (int i = 0; i < 25; ++i) img.SetBgr(i, 30, 60, 90);
  Counted(img);
  QuantBuild(256);
  QuantArea& a = *QuantWorkArea();
  EXPECT_EQ(a.ColourCount, 1);
  EXPECT_EQ(a.Histogram[QuantCell(22, 15, 7)], 0);
  EXPECT_TRUE(SameEntry(a.QuantPalette[0], {28, 60, 88}));
  for (int i = 1; i < 256; ++i) EXPECT_TRUE(SameEntry(a.QuantPalette[i], {255, 255, 255}));
  QuantRelease();
}

TEST_F(Quant, LevelsOfEveryDepth) {
  struct Case {
    int32_t bits;
    std::vector<uint8_t> pixel;
    int r, g, b;
  } cases[] = {
      {16, {0xFF, 0xFF}, 62, 63, 62},  // red 31, green 63, blue 31
      {15, {0xFF, 0x7F}, 62, 62, 62},
      {15, {0x21, 0x04}, 2, 2, 2},     // 1, 1, 1
      {24, {7, 11, 255}, 63, 2, 1},
      {32, {255, 0, 3, 9}, 0, 0, 63},
  };
  for (const Case& c : cases) {
    Image img(1, 1, c.bits);
    img.Set(c.pixel);
    std::vector<int32_t> h = Counted(img);
    EXPECT_EQ(h[QuantCell(c.r, c.g, c.b)], 0) << c.bits;
    EXPECT_EQ(QuantWorkArea()->ColourCount, 1);
    QuantRelease();
  }
}

TEST_F(Quant, IndexedImagesCountThroughTheirPalette) {
  Image img(4, 1, 8);
  img.Set({1, 1, 1, 2});
  img.Palette[1] = {4, 8, 12};
  img.Palette[2] = {5, 9, 13};  // the same cell as entry 1
  img.Palette[3] = {200, 0, 0};  // unused
  std::vector<int32_t> h = Counted(img);
  EXPECT_EQ(h[QuantCell(3, 2, 1)], 3);
  EXPECT_EQ(h[QuantCell(0, 0, 50)], -1);
  QuantRelease();
}

TEST_F(Quant, CountsSaturate) {
  Image img(3, 1, 24);
  img.Set({0, 0, 0, 0, 0, 0, 0, 0, 0});
  QuantPrepare();
  QuantWorkArea()->Histogram[0] = INT32_MAX - 1;
  QuantWorkArea()->ColourCount = 1;
  QuantWorkArea()->Occupied[0].Cell = 0;
  QuantCount(img);
  EXPECT_EQ(QuantWorkArea()->Histogram[0], INT32_MAX);
  EXPECT_EQ(QuantWorkArea()->ColourCount, 1);
  QuantRelease();
}

TEST_F(Quant, BoxMeansUseTheLevelTable) {
  // Many colours with red levels 0 and 1: box means of red below 4 become 0;
  // whites give at most 252.
  Image img(16, 32, 24);
  for (int i = 0; i < 512; ++i) {
    int c = i % 300;
    if (c < 150)
      img.SetBgr(i, uint8_t(c % 64 * 4), uint8_t(c / 64 * 4), uint8_t(i % 2 * 4));
    else
      img.SetBgr(i, uint8_t(255 - c % 64), uint8_t(255 - c / 64 % 2), 255);
  }
  Counted(img);
  QuantBuild(8);
  QuantArea& a = *QuantWorkArea();
  ASSERT_GT(a.BoxCount, 1);
  for (int i = 0; i < a.BoxCount; ++i) {
    for (int v : {a.QuantPalette[i].Red, a.QuantPalette[i].Green, a.QuantPalette[i].Blue}) {
      EXPECT_TRUE(v == 0 || (v >= 4 && v <= 252)) << v;
    }
  }
  QuantRelease();
}

TEST_F(Quant, NearestTiesGoToTheLowerIndex) {
  PaletteEntry pal[4] = {{0, 0, 100}, {0, 0, 20}, {0, 0, 0}, {0, 0, 40}};  // reds
  EXPECT_EQ(QuantNearest(30, 0, 0, 4, pal), 1);  // 20 and 40 are both 10 away
  EXPECT_EQ(QuantNearest(0, 0, 0, 4, pal), 2);
  EXPECT_EQ(QuantNearest(0, 0, 0, 2, pal), 1);  // only the first count entries
  PaletteEntry same[2] = {{1, 2, 3}, {1, 2, 3}};
  EXPECT_EQ(QuantNearest(3, 2, 1, 2, same), 0);
  EXPECT_EQ(QuantNearest(9, 9, 9, 0, same), 0);
  // Green weighs most: a green step of 1 costs more than red and blue steps of 1.
  PaletteEntry w[2] = {{0, 1, 0}, {1, 0, 1}};
  EXPECT_EQ(QuantNearest(0, 0, 0, 2, w), 1);
}

TEST_F(Quant, LookupSearchesAnEmptyCellOnceAndKeepsTheAnswer) {
  Image img(2, 1, 24);
  img.Set({0, 0, 0, 255, 255, 255});
  Counted(img);
  QuantBuild(256);
  QuantArea& a = *QuantWorkArea();
  int32_t cell = QuantCell(60, 60, 60);
  EXPECT_EQ(a.Histogram[cell], -1);
  EXPECT_EQ(QuantLookup(a, cell), 1);
  EXPECT_EQ(a.Histogram[cell], 1);
  EXPECT_EQ(QuantLookup(a, QuantCell(2, 3, 1)), 0);
  QuantRelease();
}

// Every pixel's cell holds an index of the palette built: in an exact
// palette the entry of its own colour, else the entry of the box that
// holds it. Cells no pixel has hold nothing yet (-1) or an index.
TEST_F(Quant, PalettesOfRandomImagesHoldTheirColours) {
  std::mt19937 rng(5);
  for (int round = 0; round < 8; ++round) {
    const int32_t bits = round % 2 ? 16 : 24;
    Image img(int32_t(rng() % 40 + 1), int32_t(rng() % 40 + 1), bits);
    img.Fill(rng);
    // Every fourth round copies a few pixels over the rest: an exact palette.
    if (round % 4 == 2)
      for (int32_t i = 0; i < img.Width * img.Height; ++i)
        std::memcpy(img.Pixels + i * img.BytesPerPixel, img.Pixels + (i % 5) * img.BytesPerPixel, size_t(img.BytesPerPixel));
    Counted(img);
    QuantBuild(256);
    QuantArea& a = *QuantWorkArea();
    const bool exact = a.BoxCount == 0;
    const int32_t used = exact ? a.ColourCount : a.BoxCount;
    ASSERT_GE(used, 1);
    ASSERT_LE(used, 256);
    if (round % 4 == 2) {
      EXPECT_TRUE(exact) << round;
    }
    for (int32_t i = 0; i < img.Width * img.Height; ++i) {
      int32_t cell;
      if (bits == 24) {
        const uint8_t* p = img.Pixels + 3 * i;
        cell = QuantCell(p[2] >> 2, p[1] >> 2, p[0] >> 2);
      } else {
        const uint32_t w = img.Word(i);
        cell = QuantCell(int32_t(w >> 11) * 2, int32_t(w >> 5 & 63), int32_t(w & 31) * 2);
      }
      const int32_t k = a.Histogram[cell];
      ASSERT_GE(k, 0) << "pixel " << i << " of round " << round;
      ASSERT_LT(k, used);
      if (exact) {
        const PaletteEntry& e = a.QuantPalette[k];
        EXPECT_EQ(QuantCell(e.Red >> 2, e.Green >> 2, e.Blue >> 2), cell);
      } else {
        int32_t box = 0;
        while (box < a.BoxCount && a.BoxIndex[box] != k) ++box;
        ASSERT_LT(box, a.BoxCount);
        EXPECT_TRUE(QuantBoxHolds(a.Boxes[box], cell)) << cell;
      }
    }
    for (int32_t c = 0; c < QuantCells; ++c) {
      ASSERT_GE(a.Histogram[c], -1);
      ASSERT_LT(a.Histogram[c], used);
    }
    QuantRelease();
  }
}

TEST_F(Quant, OrderedAndVectorSearchesFindWhatThePlainSearchFinds) {
  std::mt19937 rng(21);
  QuantPrepare();
  QuantArea& a = *QuantWorkArea();
  for (int round = 0; round < 40; ++round) {
    PaletteEntry pal[256];
    // Coarse components make many equal distances, so ties are exercised.
    int32_t step = round % 2 ? 1 : 32;
    for (PaletteEntry& e : pal)
      e = {uint8_t(rng() % 256 / step * step), uint8_t(rng() % 256 / step * step), uint8_t(rng() % 256 / step * step)};
    int32_t count = int32_t(rng() % 256 + 1);
    a.TargetColours = count;
    std::copy(pal, pal + 256, a.QuantPalette);
    // Every tier's search that the processor has, the plain one first.
    for (int32_t t = 0; t <= int32_t(CpuTierOf(CpuHas())); ++t) {
      const QuantKernels search = KernelsOf(CpuTier(t)).Quant;
      search.Prepare(a);
      for (int q = 0; q < 200; ++q) {
        int32_t r = int32_t(rng() % 256), g = int32_t(rng() % 256), b = int32_t(rng() % 256);
        ASSERT_EQ(search.Nearest(r, g, b, a), QuantNearest(r, g, b, count, pal))
            << r << " " << g << " " << b << " of " << count << ", " << CpuTierName(CpuTier(t));
      }
    }
  }
  QuantRelease();
}

TEST_F(Quant, EveryCellOccupied) {
  // 262144 distinct 6-bit colours, each twice: the list of cells is full.
  Image img(1024, 512, 24);
  for (int32_t i = 0; i < 1024 * 512; ++i) {
    int32_t cell = i % QuantCells;
    img.SetBgr(i, uint8_t((cell >> 12) * 4), uint8_t((cell >> 6 & 63) * 4), uint8_t((cell & 63) * 4));
  }
  std::vector<int32_t> h = Counted(img);
  EXPECT_EQ(QuantWorkArea()->ColourCount, QuantCells);
  EXPECT_TRUE(std::all_of(h.begin(), h.end(), [](int32_t v) { return v == 1; }));
  QuantBuild(256);
  EXPECT_EQ(QuantWorkArea()->BoxCount, 256);
  QuantRelease();
}

TEST_F(Quant, LargePicturesCountLikeThePlainLoop) {
  // More pixels than cells: 16-bit counters, which the black cell (more
  // than 65536 pixels) and the cells of exactly 65535, 65536, 65537 and
  // 131072 pixels take to and past their wrap, added into the cells at the
  // end. Each picture is counted twice: the counters are left as found.
  std::mt19937 rng(31);
  Image img(600, 500, 32);
  const int32_t n = 600 * 500;
  img.Fill(rng);
  for (int32_t i = 0; i < 200000; ++i) img.SetBgr(i * 3 % n, 1, 2, 3);
  Image exact(700, 500, 24);
  const int32_t runs[] = {65535, 65536, 65537, 131072};
  for (int32_t i = 0, at = 0; i < 4; at += runs[i++])
    for (int32_t k = 0; k < runs[i]; ++k) exact.SetBgr(at + k, uint8_t(40 * i), 100, 200);
  for (const Image* picture : {&img, &exact, &img})
    for (int pass = 0; pass < 2; ++pass) {
      const int32_t count = picture->Width * picture->Height, bytes = picture->BitsPerPixel / 8;
      std::vector<int64_t> plain(QuantCells, 0);
      for (int32_t i = 0; i < count; ++i) {
        const uint8_t* p = picture->Pixels + bytes * i;
        ++plain[QuantCell(p[2] >> 2, p[1] >> 2, p[0] >> 2)];
      }
      std::vector<int32_t> h = Counted(*picture);
      QuantArea& a = *QuantWorkArea();
      std::vector<int32_t> occupied;
      for (int32_t c = 0; c < QuantCells; ++c) {
        ASSERT_EQ(h[c], plain[c] - 1) << c;
        if (plain[c] > 0) occupied.push_back(c);
      }
      std::vector<int32_t> listed;
      for (int32_t i = 0; i < a.ColourCount; ++i) listed.push_back(a.Occupied[i].Cell);
      EXPECT_EQ(listed, occupied);  // every occupied cell once, in cell order
      QuantRelease();
    }
}

// QuantPaletteOf over a picture's pixels, each weighing one, or over its
// distinct colours weighing their counts (and colours weighing nothing),
// gives the palette that the steps give for the picture, box-built or
// exact, with each tier's search; its lookup is QuantNearest's.
using QuantColours = VectorLoopsFixture;
INSTANTIATE_TEST_SUITE_P(Vector, QuantColours, EveryCpuTier);

TEST_P(QuantColours, ThePixelsOfAPictureGiveItsPalette) {
  std::mt19937 rng(5);
  struct Case {
    int centres, noise, colours;
  } cases[] = {{300, 6, 236}, {40, 20, 17}, {5, 0, 256}};
  for (const Case& c : cases) {
    Image img(48, 48, 24);
    Clustered(img, rng, c.centres, c.noise);
    Counted(img);
    QuantBuild(c.colours);
    PaletteEntry want[256];
    std::memcpy(want, QuantWorkArea()->QuantPalette, sizeof want);
    const int32_t count = QuantWorkArea()->TargetColours;
    QuantRelease();

    std::vector<QuantColour> pixels, counted;
    std::map<uint32_t, uint32_t> weights;
    for (int32_t i = 0; i < img.Width * img.Height; ++i) {
      const uint8_t* p = img.Pixels + 3 * i;
      pixels.push_back({p[2], p[1], p[0], 1});
      ++weights[uint32_t(p[2]) << 16 | p[1] << 8 | p[0]];
    }
    for (const auto& [rgb, weight] : weights) {
      counted.push_back({uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), weight});
      counted.push_back({uint8_t(~rgb >> 16), uint8_t(~rgb >> 8), uint8_t(~rgb), 0});
    }
    for (const std::vector<QuantColour>* colours : {&pixels, &counted}) {
      QuantPaletteMap map;
      QuantPaletteOf(colours->data(), int32_t(colours->size()), c.colours, map);
      ASSERT_EQ(map.Count, count);
      for (int32_t i = 0; i < 256; ++i) ASSERT_TRUE(SameEntry(map.Colours[i], want[i])) << i;
      for (int32_t k = 0; k < 32768; ++k)
        ASSERT_EQ(map.Index15[k], QuantNearest((k >> 10) * 8 + 4, (k >> 5 & 31) * 8 + 4, (k & 31) * 8 + 4, count, want))
            << k;
    }
  }
}

TEST_F(Quant, APaletteOfColoursRefusesABadSetAndFreesItsAreaOnFailure) {
  const QuantColour one[1] = {{1, 2, 3, 1}};
  struct Case {
    const QuantColour* colours;
    int32_t count;
    ErrorPair error;
  } cases[] = {{one, -1, ErrMemInvalidRequest}, {nullptr, 3, ErrMemInvalidRequest}};
  QuantPaletteMap map;
  map.Count = 77;
  for (const Case& c : cases) {
    EXPECT_THROW(QuantPaletteOf(c.colours, c.count, 16, map), EMon);
    EXPECT_EQ(LastError(), c.error);
    EXPECT_EQ(map.Count, 77);
  }
  {
    FullTable full(0);
    EXPECT_THROW(QuantPaletteOf(one, 1, 16, map), EMon);
    EXPECT_EQ(LastError().Category, ErrCatMemory);
  }
  QuantPaletteOf(one, 1, 1, map);
  EXPECT_EQ(map.Count, 2);
  EXPECT_TRUE(SameEntry(map.Colours[0], {0, 0, 0}));
}

// Each tier's cells of pixels are QuantCellOfWord of each pixel, for both
// pixel sizes and every count around the vector width, from a block that
// ends with the last pixel (the sanitizer sees any byte read past it).
TEST_P(QuantColours, CellsOfPixelsAreTheCellsOfTheirWords) {
  std::mt19937 rng(43);
  for (int32_t step : {3, 4})
    for (int32_t count : {1, 2, 7, 8, 9, 10, 11, 16, 17, 18, 255, 256, 1000}) {
      std::vector<uint8_t> pixels(size_t(count) * size_t(step));
      for (uint8_t& b : pixels) b = uint8_t(rng());
      std::vector<int32_t> got(size_t(count), -1), want(size_t(count), 0);
      Kernels.Quant.Cells(pixels.data(), count, step, got.data());
      for (int32_t i = 0; i < count; ++i) {
        const uint8_t* p = &pixels[size_t(i) * size_t(step)];
        want[size_t(i)] = QuantCell(p[2] >> 2, p[1] >> 2, p[0] >> 2);
      }
      ASSERT_EQ(got, want) << count << " pixels of " << step << " bytes";
    }
}

// Each tier's cut of a run puts exactly the entries below the level on an
// axis at the front and the others at the back, every entry once, for runs
// of every length around the vector width.
TEST_P(QuantColours, ACutPartitionsARunByTheLevelOfAnAxis) {
  std::mt19937 rng(41);
  const int32_t counts[] = {0, 1, 3, 4, 7, 8, 9, 12, 31, 200, 4096};
  for (int32_t count : counts)
    for (int axis = 0; axis < 3; ++axis)
      for (int32_t split : {0, 17, 62}) {
        std::vector<QuantEntry> from(static_cast<size_t>(count)), out(static_cast<size_t>(count), QuantEntry{-1, -1});
        for (QuantEntry& e : from) e = {int32_t(rng() % QuantCells), int32_t(rng())};
        const uint32_t mask = 63u << (6 * axis), above = uint32_t(split + 1) << (6 * axis);
        const int32_t lows = Kernels.Quant.Cut(from.data(), count, mask, above, out.data());
        auto below = [&](const QuantEntry& e) { return (e.Cell >> (6 * axis) & 63) <= split; };
        auto key = [](const QuantEntry& e) { return int64_t(e.Cell) << 32 | uint32_t(e.Value); };
        std::vector<int64_t> wantLow, wantHigh, gotLow, gotHigh;
        for (const QuantEntry& e : from) (below(e) ? wantLow : wantHigh).push_back(key(e));
        ASSERT_EQ(lows, int32_t(wantLow.size())) << count << " " << axis;
        for (int32_t i = 0; i < count; ++i) (i < lows ? gotLow : gotHigh).push_back(key(out[size_t(i)]));
        for (auto* v : {&wantLow, &wantHigh, &gotLow, &gotHigh}) std::sort(v->begin(), v->end());
        EXPECT_EQ(gotLow, wantLow) << count << " " << axis << " " << split;
        EXPECT_EQ(gotHigh, wantHigh) << count << " " << axis << " " << split;
      }
}
