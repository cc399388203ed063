// ScaleLoops: the byte loops of the scaler's lines, written once and compiled
// as the plain loops (Scale.cpp), where the compiler turns them into SSE2
// vector loops (both builds have SSE2 in every function), and for AVX2
// (ScaleAvx2.cpp).
#pragma once

#include <cstdint>
#include <cstring>

#define SCALE_LOOP __attribute__((always_inline)) inline

// The mean of two samples, rounded down: of two neighbours in a line, and of
// two lines.
inline uint8_t Mean(uint8_t a, uint8_t b) { return uint8_t((a + b) >> 1); }

// out[i] = Mean(a[i], b[i]); out may be a.
SCALE_LOOP void AverageBytesLoop(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t count) {
  for (int32_t i = 0; i < count; ++i) out[i] = Mean(a[i], b[i]);
}

// The 16-bit words at words + 2i (little-endian, any alignment) increase by
// bytes[i], modulo 65536: LineAccumulate, and the sums of the vertical
// reduction.
SCALE_LOOP void AddBytesLoop(const uint8_t* __restrict bytes, uint8_t* __restrict words, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    uint16_t w;
    std::memcpy(&w, words + 2 * i, 2);
    w = uint16_t(w + bytes[i]);
    std::memcpy(words + 2 * i, &w, 2);
  }
}

// bytes[i] = the low byte of word i / d (d 1 .. 255), exactly, in 32 bits:
// LineDivide, and the means of the vertical reduction. A word is taken as
// two digits of base 256, a = w >> 8 and the low byte. With m = ceil(2^24 /
// d), (x m) >> 24 is x / d for every x < 256 d: x m < 2^32, and
// x (m d - 2^24) < 256 d (d - 1) < 2^24. a / d is one such quotient, and
// the remainder of a, times 256, plus the low byte is the other.
SCALE_LOOP void DivideWordsLoop(const uint8_t* __restrict words, uint8_t* __restrict bytes, int32_t count,
                                uint32_t d) {
  const uint32_t m = ((uint32_t(1) << 24) + d - 1) / d;
  for (int32_t i = 0; i < count; ++i) {
    uint16_t w;
    std::memcpy(&w, words + 2 * i, 2);
    const uint32_t a = uint32_t(w) >> 8, qa = (a * m) >> 24;
    const uint32_t x = (a - qa * d) << 8 | (w & 255u);
    bytes[i] = uint8_t((qa << 8) + ((x * m) >> 24));
  }
}
