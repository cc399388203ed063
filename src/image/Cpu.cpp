// The processor's vector instruction sets, asked once, and the cap on them.
#include "image/Cpu.h"

#include <cstdlib>
#include <cstring>

namespace {

CpuFeatures Ask() {
  __builtin_cpu_init();
  CpuFeatures f;
  f.Sse2 = __builtin_cpu_supports("sse2");
  f.Ssse3 = __builtin_cpu_supports("ssse3");
  f.Avx2 = __builtin_cpu_supports("avx2");
  f.Avx512 = __builtin_cpu_supports("avx512f");
  f.Avx512Vbmi = f.Avx512 && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
  return f;
}

const char* const names[CpuTierCount] = {"plain", "sse2", "ssse3", "avx2", "avx512"};

}  // namespace

const CpuFeatures& CpuHas() {
  static const CpuFeatures features = Ask();
  return features;
}

CpuTier CpuTierOf(const CpuFeatures& has) {
  if (!has.Sse2) return CpuTier::Plain;
  if (!has.Ssse3) return CpuTier::Sse2;
  if (!has.Avx2) return CpuTier::Ssse3;
  return has.Avx512 ? CpuTier::Avx512 : CpuTier::Avx2;
}

CpuFeatures CpuCapped(const CpuFeatures& has, CpuTier tier) {
  CpuFeatures f = has;
  f.Sse2 = f.Sse2 && tier >= CpuTier::Sse2;
  f.Ssse3 = f.Ssse3 && tier >= CpuTier::Ssse3;
  f.Avx2 = f.Avx2 && tier >= CpuTier::Avx2;
  f.Avx512 = f.Avx512 && tier >= CpuTier::Avx512;
  f.Avx512Vbmi = f.Avx512 && has.Avx512Vbmi;
  return f;
}

const char* CpuTierName(CpuTier tier) { return names[int32_t(tier)]; }

CpuTier CpuCap(const char* name, CpuTier has) {
  for (int32_t t = 0; name && t < CpuTierCount; ++t)
    if (std::strcmp(name, names[t]) == 0) return CpuTier(t) < has ? CpuTier(t) : has;
  return has;
}

CpuTier CpuStartTier() {
  static const CpuTier tier = CpuCap(std::getenv("SPIRALUX_CPU"), CpuTierOf(CpuHas()));
  return tier;
}
