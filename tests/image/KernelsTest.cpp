// The tiers of loops: the developer's cap names a tier and never raises it,
// a tier allows no set above it, and each tier that the processor has fills
// tables of its own, so that the suites that run every tier against the
// plain loops (EveryCpuTier) test each tier's loops, not a lower tier's again.
#include <gtest/gtest.h>

#include <cstring>

#include "image/Cpu.h"
#include "image/Kernels.h"

TEST(Cpu, ACapNamesATierAndNeverRaisesIt) {
  struct Case {
    const char* Name;
    CpuTier Has, Want;
  } cases[] = {{nullptr, CpuTier::Avx512, CpuTier::Avx512}, {"plain", CpuTier::Avx512, CpuTier::Plain},
               {"sse2", CpuTier::Avx2, CpuTier::Sse2},       {"ssse3", CpuTier::Avx2, CpuTier::Ssse3},
               {"avx2", CpuTier::Avx512, CpuTier::Avx2},     {"avx512", CpuTier::Avx512, CpuTier::Avx512},
               {"avx512", CpuTier::Avx2, CpuTier::Avx2},     {"avx2", CpuTier::Sse2, CpuTier::Sse2},
               {"AVX2", CpuTier::Avx512, CpuTier::Avx512},   {"", CpuTier::Ssse3, CpuTier::Ssse3}};
  for (const Case& c : cases)
    EXPECT_EQ(CpuCap(c.Name, c.Has), c.Want) << (c.Name ? c.Name : "no cap") << " on " << CpuTierName(c.Has);
}

TEST(Cpu, ATierAllowsOnlyTheSetsAtOrBelowIt) {
  const CpuFeatures all = {true, true, true, true, true};
  struct Case {
    CpuTier Tier;
    CpuFeatures Want;
  } cases[] = {{CpuTier::Plain, {false, false, false, false, false}},
               {CpuTier::Sse2, {true, false, false, false, false}},
               {CpuTier::Ssse3, {true, true, false, false, false}},
               {CpuTier::Avx2, {true, true, true, false, false}},
               {CpuTier::Avx512, {true, true, true, true, true}}};
  for (const Case& c : cases) {
    const CpuFeatures f = CpuCapped(all, c.Tier);
    EXPECT_EQ(CpuTierOf(f), c.Tier);
    EXPECT_EQ(std::memcmp(&f, &c.Want, sizeof f), 0) << CpuTierName(c.Tier);
  }
  // Never a set that the processor lacks: AVX-512 without its byte permutes.
  const CpuFeatures noVbmi = CpuCapped({true, true, true, true, false}, CpuTier::Avx512);
  EXPECT_FALSE(noVbmi.Avx512Vbmi);
  EXPECT_FALSE(CpuCapped({true, false, false, false, false}, CpuTier::Avx512).Ssse3);
}

TEST(Kernels, EachTierOfTheProcessorHasLoopsOfItsOwn) {
  const ImageKernels plain = KernelsOf(CpuTier::Plain);
  EXPECT_EQ(plain.Maps.Nearest, MapNearestPlain);
  EXPECT_EQ(plain.Maps.Diffuse, DiffusePlain);
  EXPECT_EQ(plain.Pixels.Grey24, Grey24Plain);
  EXPECT_EQ(plain.Quant.Nearest, QuantNearestPlain);
  for (int32_t t = 1; t <= int32_t(CpuTierOf(CpuHas())); ++t) {
    const ImageKernels below = KernelsOf(CpuTier(t - 1)), tier = KernelsOf(CpuTier(t));
    EXPECT_NE(std::memcmp(&below, &tier, sizeof tier), 0) << CpuTierName(CpuTier(t));
  }
}
