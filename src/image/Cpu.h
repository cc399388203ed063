// Cpu: which vector instruction sets the image loops may use. Each is asked
// of the processor once; a loop that uses one has a plain counterpart that
// gives the same bytes, for processors without it and for the tests, which
// can turn the vector loops off to check the plain ones.
#pragma once

#if !defined(__i386__) && !defined(__x86_64__)
#error "the image library is built for x86 (i686 and x86-64) only"
#endif

// Whether the processor has the set and the vector loops are allowed.
bool CpuHasSse2();
bool CpuHasSsse3();
// AVX-512: its foundation (F), and with it the byte and word lanes (BW)
// and byte permutes (VBMI).
bool CpuHasAvx512();
bool CpuHasAvx512Vbmi();

// Allows (the default) or forbids every vector loop, for tests.
void CpuVectorLoopsForTests(bool enabled);

// Around AVX-512 code: the compiler's AVX-512 headers start some results
// (gathers, reductions, widenings) from an undefined register, which its
// flow analysis takes for a read of an uninitialised value.
#ifdef __clang__
#define CPU_AVX512_BEGIN _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wuninitialized\"")
#else
#define CPU_AVX512_BEGIN                                                           \
  _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wuninitialized\"") \
  _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"")
#endif
#define CPU_AVX512_END _Pragma("GCC diagnostic pop")
