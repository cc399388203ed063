// The player's vector loops against its plain ones on random inputs: the
// same bytes for every count, the entries past the count left alone.
#include "player/SpiralLoops.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "image/Cpu.h"

namespace {

std::vector<const SpiralLoops*> VectorLoops() {
  std::vector<const SpiralLoops*> loops;
  if (CpuHas().Sse2) loops.push_back(&SpiralLoopsSse2);
  if (CpuHas().Avx2) loops.push_back(&SpiralLoopsAvx2);
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

TEST(SpiralLoops, VectorColoursAreThePlainColours) {
  std::mt19937 random(1);
  for (const SpiralLoops* loops : VectorLoops())
    for (int32_t round = 0; round < 300; ++round) {
      const std::vector<uint16_t> row = RandomRow(random);
      uint8_t inks[6];
      for (uint8_t& ink : inks) ink = uint8_t(round % 5 ? random() : 255);
      const int32_t count = int32_t(random() % (SpiralRowEntries + 1));
      std::vector<uint32_t> want(SpiralRowEntries + 1, 0xDEADBEEF), got = want;
      SpiralColoursPlain(row.data(), inks, count, want.data());
      loops->Colours(row.data(), inks, count, got.data());
      ASSERT_EQ(got, want) << "count " << count;
    }
}

TEST(SpiralLoops, VectorReversedIsThePlainReversed) {
  std::mt19937 random(2);
  for (const SpiralLoops* loops : VectorLoops())
    for (int32_t round = 0; round < 300; ++round) {
      const int32_t count = int32_t(random() % 600);
      std::vector<uint32_t> in(static_cast<size_t>(count));
      for (uint32_t& v : in) v = uint32_t(random());
      std::vector<uint32_t> want(size_t(count) + 2, 0xDEADBEEF), got = want;
      SpiralReversedPlain(in.data(), count, want.data() + count);
      loops->Reversed(in.data(), count, got.data() + count);
      ASSERT_EQ(got, want) << "count " << count;
    }
}

TEST(SpiralLoops, VectorReversedBytesAreThePlainOnes) {
  std::mt19937 random(3);
  for (const SpiralLoops* loops : VectorLoops())
    for (int32_t round = 0; round < 300; ++round) {
      const int32_t count = int32_t(random() % 600);
      std::vector<uint8_t> in(static_cast<size_t>(count));
      for (uint8_t& v : in) v = uint8_t(random());
      std::vector<uint8_t> want(size_t(count) + 2, 0xA5), got = want;
      SpiralReversed8Plain(in.data(), count, want.data() + count);
      loops->Reversed8(in.data(), count, got.data() + count);
      ASSERT_EQ(got, want) << "count " << count;
    }
}

TEST(SpiralLoops, VectorIndicesAreThePlainIndices) {
  std::mt19937 random(4);
  std::vector<uint8_t> index15(32768);
  for (uint8_t& k : index15) k = uint8_t(random());
  for (const SpiralLoops* loops : VectorLoops())
    for (int32_t round = 0; round < 300; ++round) {
      const int32_t count = int32_t(random() % (SpiralRowEntries + 1));
      std::vector<uint32_t> colours(static_cast<size_t>(count));
      for (uint32_t& c : colours) c = uint32_t(random()) & 0xFFFFFF;
      std::vector<uint8_t> want(size_t(count) + 1, 0xA5), got = want;
      SpiralIndicesPlain(colours.data(), count, index15.data(), want.data());
      loops->Indices(colours.data(), count, index15.data(), got.data());
      ASSERT_EQ(got, want) << "count " << count;
    }
}

}  // namespace
