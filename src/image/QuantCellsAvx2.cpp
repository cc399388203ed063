// The AVX2 loop of the cells of pixels for the palette optimiser's count
// (Kernels.h: QuantKernels::Cells), eight pixels at a time.
#include <cstdint>
#include <immintrin.h>

#include "image/Cpu.h"
#include "image/Kernels.h"
#include "image/QuantizeInternal.h"

// Each pixel as the word blue | green << 8 | red << 16 in a 32-bit lane,
// then QuantCellOfWord of every lane. 3-byte pixels come four to a 128-bit
// half, loaded from their first byte: a half reads 16 bytes for its 12, so
// the loop stops while two pixels at least lie past the block (4 bytes
// past it are read). The plain loop does the rest.
CPU_AVX2 void QuantCellsAvx2(const uint8_t* p, int32_t count, int32_t step, int32_t* cells) {
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                          0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i red = _mm256_set1_epi32(0x3F), green = _mm256_set1_epi32(0xFC0), blue = _mm256_set1_epi32(0x3F000);
  const int32_t ahead = step == 3 ? 2 : 0;
  int32_t i = 0;
  for (; i + 8 + ahead <= count; i += 8, p += 8 * step) {
    __m256i w;
    if (step == 3)
      w = _mm256_shuffle_epi8(
          _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 12), reinterpret_cast<const __m128i*>(p)), spread);
    else
      w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i r = _mm256_and_si256(_mm256_srli_epi32(w, 18), red),
                  g = _mm256_and_si256(_mm256_srli_epi32(w, 4), green),
                  b = _mm256_and_si256(_mm256_slli_epi32(w, 10), blue);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(cells + i), _mm256_or_si256(_mm256_or_si256(r, g), b));
  }
  QuantCellsPlain(p, count - i, step, cells + i);
}
