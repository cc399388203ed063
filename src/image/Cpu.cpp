// The processor's vector instruction sets, asked once.
#include "image/Cpu.h"

namespace {

CpuFeatures Ask() {
  __builtin_cpu_init();
  CpuFeatures f;
  f.Sse2 = __builtin_cpu_supports("sse2");
  f.Ssse3 = __builtin_cpu_supports("ssse3");
  f.Avx512 = __builtin_cpu_supports("avx512f");
  f.Avx512Vbmi = f.Avx512 && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
  return f;
}

}  // namespace

const CpuFeatures& CpuHas() {
  static const CpuFeatures features = Ask();
  return features;
}
