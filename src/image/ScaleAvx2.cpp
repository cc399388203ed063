// The scaler's byte loops compiled for AVX2 (ScaleLoops.h, Kernels.h).
#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/ScaleLoops.h"

namespace {

CPU_AVX2 void AverageBytesAvx2(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t count) {
  AverageBytesLoop(a, b, out, count);
}

CPU_AVX2 void AddBytesAvx2(const uint8_t* bytes, uint8_t* words, int32_t count) { AddBytesLoop(bytes, words, count); }

CPU_AVX2 void DivideWordsAvx2(const uint8_t* words, uint8_t* bytes, int32_t count, uint32_t d) {
  DivideWordsLoop(words, bytes, count, d);
}

}  // namespace

const ScaleKernels ScaleAvx2 = {AverageBytesAvx2, AddBytesAvx2, DivideWordsAvx2};
