// The processor's vector instruction sets, asked once.
#include "image/Cpu.h"

namespace {

bool vectorLoops = true;

struct Features {
  bool Sse2, Ssse3, Avx512, Avx512Vbmi;
  Features() {
    __builtin_cpu_init();
    Sse2 = __builtin_cpu_supports("sse2");
    Ssse3 = __builtin_cpu_supports("ssse3");
    Avx512 = __builtin_cpu_supports("avx512f");
    Avx512Vbmi = Avx512 && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
  }
};

const Features& Has() {
  static const Features features;
  return features;
}

}  // namespace

bool CpuHasSse2() { return vectorLoops && Has().Sse2; }
bool CpuHasSsse3() { return vectorLoops && Has().Ssse3; }
bool CpuHasAvx512() { return vectorLoops && Has().Avx512; }
bool CpuHasAvx512Vbmi() { return vectorLoops && Has().Avx512Vbmi; }

void CpuVectorLoopsForTests(bool enabled) { vectorLoops = enabled; }
