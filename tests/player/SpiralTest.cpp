// The player's frames: a pure function of the design time, the generator's
// design at time 0 (less the layers that do not turn with the arms), arms
// that turn and inks that cycle as time goes on, and 8-bit frames that show
// the 32-bit frames through the palette.
#include "player/Spiral.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "player/SpiralLoops.h"
#include "runtime/Errors.h"

namespace {

std::vector<uint32_t> Frame32(SpiralScene& scene, double seconds) {
  std::vector<uint32_t> frame(size_t(scene.Width) * scene.Height);
  SpiralRender32(scene, seconds, reinterpret_cast<uint8_t*>(frame.data()), scene.Width * 4);
  return frame;
}

SpiralScene Scene(int32_t w, int32_t h) {
  SpiralScene scene;
  SpiralSetUp(scene, w, h, SpiralScreenPlacement(w, h));
  return scene;
}

int32_t Channel(uint32_t c, int32_t ch) { return int32_t(c >> (8 * ch) & 255); }

TEST(Spiral, AGivenTimeGivesAGivenFrame) {
  SpiralScene a = Scene(120, 80), b = Scene(120, 80);
  std::vector<uint32_t> first = Frame32(a, 7.3);
  Frame32(a, 2.0);  // what was drawn before does not matter
  EXPECT_EQ(Frame32(a, 7.3), first);
  EXPECT_EQ(Frame32(b, 7.3), first);
}

// Time 0 is the generator's design with the filaments and the ground's
// angular shading left out: the same arms, crests, ripples, glow, rim and
// sparks, off by the rounding of the rings and phases.
TEST(Spiral, TheFirstFrameIsTheDesignOfTheBuiltInPicture) {
  for (auto size : {std::pair<int32_t, int32_t>{160, 120}, {640, 360}}) {
    const int32_t w = size.first, h = size.second;
    SpiralScene scene = Scene(w, h);
    std::vector<uint32_t> frame = Frame32(scene, 0);
    SpiralPlacement place = SpiralScreenPlacement(w, h);
    int32_t worst = 0;
    double total = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        SpiralPoint p = SpiralPointAt(place, x, y);
        SpiralColour c = SpiralCompose(SpiralMixesAt(p, SpiralArmPhase(p), x, y, SpiralSparks), SpiralDesignInks);
        int32_t want[3] = {SpiralByte(c.B), SpiralByte(c.G), SpiralByte(c.R)};
        for (int32_t ch = 0; ch < 3; ++ch) {
          int32_t d = std::abs(Channel(frame[size_t(y) * w + x], ch) - want[ch]);
          worst = std::max(worst, d);
          total += d;
        }
      }
    EXPECT_LE(worst, 3) << w << "x" << h;
    EXPECT_LT(total / (3.0 * w * h), 0.3) << w << "x" << h;
  }
}

// The set-up's fast position of a pixel keeps the bounds that its rounding
// relies on, over placements far off the screen and half-heights small and
// large.
TEST(Spiral, TheFastPositionLiesWithinItsBoundsOfTheExactOne) {
  std::mt19937 random(4);
  for (int32_t i = 0; i < 200000; ++i) {
    const SpiralPlacement place = {double(random() % 20000) - 2000 + (random() % 1000) / 1000.0,
                                   double(random() % 20000) - 2000, 0.5 + (random() % 100000) / 10.0};
    const int32_t x = int32_t(random() % 16384), y = int32_t(random() % 16384);
    const SpiralPoint a = SpiralPointAt(place, x, y), b = SpiralPointNear(place, 1 / place.Half, x, y);
    ASSERT_LE(std::fabs(a.R - b.R), 1e-14 * (1 + a.R)) << x << "," << y;
    ASSERT_LE(std::fabs(a.LogR - b.LogR), 1e-12) << x << "," << y;
    const double turn = std::fabs(a.Angle - b.Angle);
    ASSERT_LE(std::min(turn, std::fabs(turn - 2 * 3.14159265358979323846)), 1e-12) << x << "," << y;
  }
}

TEST(Spiral, TheArmsTurnSteadilyWithTime) {
  const int32_t perFrame = SpiralMomentAt(SpiralSecondsPerFrame * 1000).Shift;
  for (int32_t frame = 0; frame < 600; ++frame) {
    int32_t a = SpiralMomentAt(frame * SpiralSecondsPerFrame).Shift;
    int32_t b = SpiralMomentAt((frame + 1) * SpiralSecondsPerFrame).Shift;
    int32_t step = (b - a + SpiralPhases) % SpiralPhases;
    ASSERT_GE(step, 1) << frame;
    ASSERT_LE(step, 3) << frame;
  }
  EXPECT_NE(perFrame, 0);
}

// A turn is a shift of the phases: the table of a moment turned by k phases
// is the table of the unturned moment moved along by k.
TEST(Spiral, TurningShiftsThePhases) {
  SpiralScene scene = Scene(64, 48);
  SpiralFillTable(scene, SpiralMoment{0, 0});
  std::vector<uint32_t> still = scene.Table;
  for (int32_t k : {1, 100, SpiralPhases - 1}) {
    SpiralFillTable(scene, SpiralMoment{k, 0});
    for (int32_t ring = 0; ring < scene.RingCount; ++ring)
      for (int32_t j = 0; j < SpiralPhases; ++j)
        ASSERT_EQ(scene.Table[size_t(ring) * SpiralPhases + ((j + k) % SpiralPhases)],
                  still[size_t(ring) * SpiralPhases + j]);
  }
}

TEST(Spiral, TheInksCycleInWavesRunningOutwards) {
  SpiralScene scene = Scene(320, 180);
  SpiralColour amber, gold;
  for (int32_t ring = 0; ring < scene.RingCount; ring += 7) {
    SpiralRingInks(scene, ring, 0, amber, gold);
    EXPECT_EQ(amber.G, SpiralDesignInks.Amber.G);
    EXPECT_EQ(gold.B, SpiralDesignInks.Gold.B);
  }
  // Where the amber ink is reddest (a wave's crest), ring by ring.
  auto crest = [&](double seconds) {
    int32_t best = 0;
    double reddest = 2;
    for (int32_t ring = 0; ring < scene.RingCount; ++ring) {
      SpiralRingInks(scene, ring, seconds, amber, gold);
      if (amber.G < reddest) reddest = amber.G, best = ring;
    }
    return best;
  };
  int32_t early = crest(12.0), later = crest(12.5);
  EXPECT_GT(later, early);
  SpiralRingInks(scene, early, 12.0, amber, gold);
  EXPECT_LT(amber.G, SpiralDesignInks.Amber.G - 0.1);
}

TEST(Spiral, FramesChangeFromFrameToFrame) {
  SpiralScene scene = Scene(160, 90);
  std::vector<uint32_t> previous = Frame32(scene, 0);
  for (int32_t frame = 1; frame < 40; frame += 13) {
    std::vector<uint32_t> next = Frame32(scene, frame * SpiralSecondsPerFrame);
    size_t changed = 0;
    for (size_t i = 0; i < next.size(); ++i) changed += next[i] != previous[i];
    EXPECT_GT(changed, next.size() / 10) << frame;
    previous = next;
  }
}

// The 8-bit frame is the 32-bit frame seen through the palette: each pixel
// is the entry the 15-bit map gives for its colour.
TEST(Spiral, IndexedFramesShowTheTrueColourFrameThroughThePalette) {
  SpiralPalette palette;
  SpiralBuildPalette(palette, 236);
  ASSERT_EQ(palette.Count, 236);
  SpiralScene scene = Scene(200, 150);
  for (double seconds : {0.0, 9.1}) {
    std::vector<uint32_t> colour = Frame32(scene, seconds);
    std::vector<uint8_t> indexed(size_t(200) * 150);
    SpiralRender8(scene, palette, seconds, indexed.data(), 200);
    double error = 0;
    for (size_t i = 0; i < indexed.size(); ++i) {
      ASSERT_LT(indexed[i], palette.Count);
      ASSERT_EQ(indexed[i], SpiralIndexOf(palette, colour[i])) << i;
      const PaletteEntry& e = palette.Colours[indexed[i]];
      error += std::abs(e.Blue - Channel(colour[i], 0)) + std::abs(e.Green - Channel(colour[i], 1)) +
               std::abs(e.Red - Channel(colour[i], 2));
    }
    EXPECT_LT(error / (3.0 * indexed.size()), 6.0) << seconds;
  }
}

uint64_t Hash(const void* data, size_t size) {  // FNV-1a
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < size; ++i) h = (h ^ static_cast<const uint8_t*>(data)[i]) * 1099511628211ull;
  return h;
}

// The bytes of the frames, as hashes, that the renderer drew before its
// frames were tiled, its rows halved and its work shared between threads
// (it looked every pixel up in a table of rings x phases, row by row): the
// same scenes at the same times give the same bytes, with the vector loops
// on one thread and with the plain loops on four. The palette of 236
// colours and its map are the ones it had too.
TEST(Spiral, FramesAreTheBytesOfTheRowByRowRenderer) {
  struct Case {
    int32_t Width, Height;
    SpiralPlacement Place;
    double Seconds;
    uint64_t Frame32, Frame8;
  };
  const Case cases[] = {
      {200, 150, {100, 75, 75}, 0, 0xcd283010ee1afd46, 0xb3172e20909bd163},
      {200, 150, {100, 75, 75}, 123.45, 0x260616e1387629c8, 0x01ff090e56f00850},
      {640, 360, {320, 180, 180}, 7.3, 0x647dcac6586c78ec, 0x4527c6582bf8d1d6},
      {1280, 1040, {640, 520, 520}, 0, 0xe1967142e90017fa, 0xa250dcf034fd67c1},
      {1280, 1040, {640, 520, 520}, 7.3, 0x1b7c86e747fadd9a, 0x2541e3e051c2118e},
      {1280, 1040, {640, 520, 520}, 123.45, 0xbcdf20e52ecc0c26, 0xeceffeb81efa08ab},
      {333, 250, {400, -20, 600}, 7.3, 0x6c028716e14e54cf, 0x2aa7fedfbe75985d},
  };
  SpiralPalette palette;
  SpiralBuildPalette(palette, 236);
  EXPECT_EQ(Hash(palette.Colours, sizeof palette.Colours) ^ Hash(palette.Index15.data(), palette.Index15.size()),
            0x4889b5b1bc43d565u);
  SpiralScene scene;
  for (const Case& c : cases) {
    if (scene.Width != c.Width || scene.Place.Half != c.Place.Half) SpiralSetUp(scene, c.Width, c.Height, c.Place);
    const int32_t stride8 = (c.Width + 3) & ~3;
    std::vector<uint8_t> frame32(size_t(c.Width) * c.Height * 4), frame8(size_t(stride8) * c.Height);
    for (int32_t workers : {0, 3}) {
      SpiralLoopsForTests(workers == 0 ? CpuStartTier() : CpuTier::Plain);
      SpiralSetWorkers(scene, workers);
      SpiralRender32(scene, c.Seconds, frame32.data(), c.Width * 4);
      SpiralRender8(scene, palette, c.Seconds, frame8.data(), stride8);
      EXPECT_EQ(Hash(frame32.data(), frame32.size()), c.Frame32) << c.Width << "x" << c.Height << " at " << c.Seconds
                                                                 << " with " << workers << " workers";
      EXPECT_EQ(Hash(frame8.data(), frame8.size()), c.Frame8) << c.Width << "x" << c.Height << " at " << c.Seconds
                                                              << " with " << workers << " workers";
    }
  }
  SpiralLoopsForTests(CpuStartTier());
}

// A frame drawn as changes over the frame before it is the whole frame, at
// both depths, on one thread and on four; the still tiles exist (the corners
// of a wide screen and the core's middle) and hold sparks.
TEST(Spiral, ChangesOverTheLastFrameAreTheWholeFrame) {
  SpiralScene scene = Scene(640, 360);
  int64_t still = 0;
  for (const SpiralTile& t : scene.Tiles) still += t.Still ? int64_t(t.Width) * t.Height : 0;
  EXPECT_GT(still, int64_t(scene.Width) * scene.Height / 10);
  SpiralPalette palette;
  SpiralBuildPalette(palette, 236);
  const int32_t w = scene.Width, h = scene.Height;
  std::vector<uint8_t> whole32(size_t(w) * h * 4), whole8(size_t(w) * h), kept32 = whole32, kept8 = whole8;
  for (int32_t workers : {0, 3}) {
    SpiralSetWorkers(scene, workers);
    SpiralRender32(scene, 0, kept32.data(), w * 4);
    SpiralRender8(scene, palette, 0, kept8.data(), w);
    for (double seconds : {SpiralSecondsPerFrame, 2.5, 7.3, 123.45}) {
      SpiralRender32(scene, seconds, whole32.data(), w * 4);
      SpiralRender32(scene, seconds, kept32.data(), w * 4, SpiralDraw::Changes);
      ASSERT_EQ(kept32, whole32) << seconds << " s, " << workers << " workers";
      SpiralRender8(scene, palette, seconds, whole8.data(), w);
      SpiralRender8(scene, palette, seconds, kept8.data(), w, SpiralDraw::Changes);
      ASSERT_EQ(kept8, whole8) << seconds << " s, " << workers << " workers";
    }
  }
}

// Frames stored past the caches, as the large ones are, are the same bytes,
// whole and as changes, on one thread and on four.
TEST(Spiral, StreamedFramesAreTheSameBytes) {
  SpiralScene scene = Scene(640, 360);
  ASSERT_FALSE(scene.Streamed);
  const int32_t w = scene.Width, h = scene.Height;
  std::vector<uint8_t> want(size_t(w) * h * 4), got = want, kept = want;
  for (int32_t workers : {0, 3}) {
    SpiralSetWorkers(scene, workers);
    for (double seconds : {0.0, 7.3, 123.45}) {
      scene.Streamed = false;
      SpiralRender32(scene, seconds, want.data(), w * 4);
      scene.Streamed = true;
      SpiralRender32(scene, seconds, got.data(), w * 4);
      SpiralRender32(scene, seconds, kept.data(), w * 4, seconds == 0 ? SpiralDraw::Whole : SpiralDraw::Changes);
      ASSERT_EQ(got, want) << seconds << " s, " << workers << " workers";
      ASSERT_EQ(kept, want) << seconds << " s, " << workers << " workers";
    }
  }
}

TEST(Spiral, SizesOutOfRangeAreAnInvalidMemoryRequest) {
  for (auto size : {std::pair<int32_t, int32_t>{0, 10}, {10, -1}, {SpiralMaxSide + 1, 2}}) {
    SpiralScene scene;
    EXPECT_THROW(SpiralSetUp(scene, size.first, size.second, SpiralScreenPlacement(10, 10)), EMon);
    EXPECT_EQ(LastError(), (ErrorPair{5, 5}));
  }
}

}  // namespace
