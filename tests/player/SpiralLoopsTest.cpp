// The player's vector loops against its plain ones on random inputs: the
// same bytes for every count, the entries past the count left alone.
#include "player/SpiralLoops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "image/Cpu.h"

namespace {

// The tables of the tiers above the plain one that the processor has.
std::vector<SpiralLoops> VectorLoops() {
  std::vector<SpiralLoops> loops;
  for (CpuTier tier : {CpuTier::Sse2, CpuTier::Avx2})
    if (tier <= CpuTierOf(CpuHas())) loops.push_back(SpiralLoopsOf(tier));
  return loops;
}

// A design row as the set-up makes them: the two weights and a fixed part
// within what they leave, so that the parts add up to at most 255 x 256 + 2;
// every fourth entry at that bound.
std::vector<uint16_t> RandomRow(std::mt19937& random) {
  std::vector<uint16_t> row(size_t(SpiralRowPlanes) * SpiralRowEntries);
  for (int32_t i = 0; i < SpiralRowEntries; ++i) {
    const uint32_t wa = random() % 65536, wg = random() % (65536 - wa);
    const uint32_t room = 65282 - ((wa + wg) * 65280 + 65535) / 65536;
    for (int32_t ch = 0; ch < 3; ++ch) row[size_t(ch) * SpiralRowEntries + i] = uint16_t(i % 4 ? random() % (room + 1) : room);
    row[3 * size_t(SpiralRowEntries) + i] = uint16_t(wa);
    row[4 * size_t(SpiralRowEntries) + i] = uint16_t(wg);
  }
  return row;
}

// Cells of rows of random grids: placements far off the screen, half-heights
// small and large, rows anywhere in the largest frame. Then two rows made to
// be exact: one through the spiral's centre at a pixel's centre (position
// 0, 0), one whose every pixel lies at a ring's step, which takes the exact
// position.
TEST(SpiralLoops, VectorCellsAreThePlainCells) {
  std::mt19937 random(3);
  const SpiralCellGrid exact[2] = {{{20.5, 330.5, 8000}, 1 / 8000.0, 8000, 4800},
                                   {{-30.22, 30.98, 512}, 1 / 512.0, 512, 308}};
  for (const SpiralLoops& loops : VectorLoops()) {
    if (loops.Cells == SpiralCellsPlain) continue;
    for (int32_t round = 0; round < 402; ++round) {
      SpiralCellGrid grid = exact[round % 2];
      int32_t y = 10, count = 600;
      if (round < 400) {
        const double half = 0.5 + (random() % 100000) / 10.0;
        const double scale = half > 512 ? half : 512;
        grid = {{double(random() % 20000) - 2000 + (random() % 1000) / 1000.0, double(random() % 20000) - 2000, half},
                1 / half, scale, int32_t(std::ceil(0.6 * scale))};
        y = int32_t(random() % 16384);
        count = int32_t(random() % 700);
      }
      std::vector<uint32_t> want(size_t(count) + 1, 0xDEADBEEF), got = want;
      SpiralCellsPlain(grid, y, count, want.data());
      loops.Cells(grid, y, count, got.data());
      ASSERT_EQ(got, want) << "round " << round << ", row " << y;
    }
  }
}

TEST(SpiralLoops, VectorColoursAreThePlainColours) {
  std::mt19937 random(1);
  for (const SpiralLoops& loops : VectorLoops())
    for (int32_t round = 0; round < 300; ++round) {
      const std::vector<uint16_t> row = RandomRow(random);
      uint8_t inks[6];
      for (uint8_t& ink : inks) ink = uint8_t(round % 5 ? random() : 255);
      const int32_t count = int32_t(random() % (SpiralRowEntries + 1));
      std::vector<uint32_t> want(SpiralRowEntries + 1, 0xDEADBEEF), got = want;
      SpiralColoursPlain(row.data(), inks, count, want.data());
      loops.Colours(row.data(), inks, count, got.data());
      ASSERT_EQ(got, want) << "count " << count;
    }
}

// A reversal's vector loop against its plain one for counts 0 .. 599,
// with a guard entry on each side of what it writes.
template <class T>
void ReversesLikeThePlainLoop(std::mt19937& random, void (*plain)(const T*, int32_t, T*),
                              void (*vector)(const T*, int32_t, T*)) {
  for (int32_t round = 0; round < 300; ++round) {
    const int32_t count = int32_t(random() % 600);
    std::vector<T> in(static_cast<size_t>(count));
    for (T& v : in) v = T(random());
    std::vector<T> want(size_t(count) + 2, T(0xA5A5A5A5u)), got = want;
    plain(in.data(), count, want.data() + count);
    vector(in.data(), count, got.data() + count);
    ASSERT_EQ(got, want) << "count " << count;
  }
}

TEST(SpiralLoops, VectorReversalsAreThePlainOnes) {
  std::mt19937 random(2);
  for (const SpiralLoops& loops : VectorLoops()) {
    ReversesLikeThePlainLoop<uint32_t>(random, SpiralReversedPlain, loops.Reversed);
    ReversesLikeThePlainLoop<uint8_t>(random, SpiralReversed8Plain, loops.Reversed8);
  }
}

TEST(SpiralLoops, VectorIndicesAreThePlainIndices) {
  std::mt19937 random(4);
  std::vector<uint8_t> index15(32768);
  for (uint8_t& k : index15) k = uint8_t(random());
  for (const SpiralLoops& loops : VectorLoops())
    for (int32_t round = 0; round < 300; ++round) {
      const int32_t count = int32_t(random() % (SpiralRowEntries + 1));
      std::vector<uint32_t> colours(static_cast<size_t>(count));
      for (uint32_t& c : colours) c = uint32_t(random()) & 0xFFFFFF;
      std::vector<uint8_t> want(size_t(count) + 1, 0xA5), got = want;
      SpiralIndicesPlain(colours.data(), count, index15.data(), want.data());
      loops.Indices(colours.data(), count, index15.data(), got.data());
      ASSERT_EQ(got, want) << "count " << count;
    }
}

}  // namespace
