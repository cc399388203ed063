// A fixture for image tests: each test leaves the tracked-block table and the
// section stack as it found them. Helpers make small images.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "image/Kernels.h"
#include "image/ImageBuffer.h"
#include "runtime/Basic.h"
#include "runtime/Errors.h"

class ImageFixture : public ::testing::Test {
 public:
  void SetUp() override {
    base = MemCount();
    ASSERT_EQ(MonDepth(), 0);
  }
  void TearDown() override {
    EXPECT_EQ(MemCount(), base) << "a tracked block leaked";
    EXPECT_EQ(MonDepth(), 0) << "a section was left open";
  }

  int32_t base = 0;
};

// A tier by its name in the suites' reports.
inline void PrintTo(CpuTier tier, std::ostream* os) { *os << CpuTierName(tier); }

// ImageFixture for a test that runs once with each tier's loops in the
// tables (the plain loops among them), skipped for a tier whose sets the
// processor lacks: instantiate it with EveryCpuTier.
class VectorLoopsFixture : public ImageFixture, public ::testing::WithParamInterface<CpuTier> {
 public:
  void SetUp() override {
    ImageFixture::SetUp();
    if (GetParam() > CpuTierOf(CpuHas())) GTEST_SKIP() << "the processor lacks the sets of this tier";
    KernelsForTests(GetParam());
  }
  void TearDown() override {
    KernelsForTests(CpuStartTier());
    ImageFixture::TearDown();
  }
  static std::string Name(const ::testing::TestParamInfo<CpuTier>& info) { return CpuTierName(info.param); }
};
#define EveryCpuTier                                                                                        \
  ::testing::Values(CpuTier::Plain, CpuTier::Sse2, CpuTier::Ssse3, CpuTier::Avx2, CpuTier::Avx512), \
      VectorLoopsFixture::Name

// Fills the tracked-block table to `free` entries short of full, for the
// calls that must fail cleanly when it is full; the blocks go with it.
struct FullTable {
  std::vector<char*> Blocks;
  int32_t Mark;
  explicit FullTable(int32_t free) : Blocks(size_t(MemTableSize - free - MemCount()), nullptr), Mark(MemCount()) {
    for (char*& p : Blocks) MemAlloc(p, 1);
  }
  ~FullTable() { MemFreeAbove(Mark); }
  FullTable(const FullTable&) = delete;
  FullTable& operator=(const FullTable&) = delete;
};

// An image record that releases its block at the end of the scope.
struct Image : ImageBuffer {
  Image() { ImgInit(*this); }
  Image(int32_t w, int32_t h, int32_t bits) {
    ImgInit(*this);
    ImgAlloc(*this, w, h, bits);
  }
  ~Image() { ImgFree(*this); }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  int32_t Bytes() const { return Width * Height * BytesPerPixel; }
  std::vector<uint8_t> Data() const { return std::vector<uint8_t>(Pixels, Pixels + Bytes()); }
  void Set(const std::vector<uint8_t>& bytes) { std::copy(bytes.begin(), bytes.end(), Pixels); }
  void Fill(std::mt19937& rng) {
    for (int32_t i = 0; i < Bytes(); ++i) Pixels[i] = uint8_t(rng());
  }
  // 16-bit words and 24-bit pixels (blue, green, red) by index.
  uint16_t Word(int32_t i) const { return uint16_t(Pixels[2 * i] | Pixels[2 * i + 1] << 8); }
  void SetWord(int32_t i, uint32_t w) {
    Pixels[2 * i] = uint8_t(w);
    Pixels[2 * i + 1] = uint8_t(w >> 8);
  }
  void SetBgr(int32_t i, uint8_t b, uint8_t g, uint8_t r) {
    uint8_t* p = Pixels + i * BytesPerPixel;
    p[0] = b, p[1] = g, p[2] = r;
  }
};
