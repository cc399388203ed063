// Cpu: the vector instruction sets of the processor, asked once, the tiers
// of loops they make, and the attributes that compile a function for one of
// them. Only the loop tables (Kernels.h) ask which sets the processor has;
// every vector loop has a plain counterpart that gives the same bytes.
#pragma once

#if !defined(__i386__) && !defined(__x86_64__)
#error "the image library is built for x86 (i686 and x86-64) only"
#endif

#include <cstdint>

// The sets the processor has. Avx2 includes the operating system's saving
// of the 256-bit registers; Avx512 is the foundation (F); Avx512Vbmi is F
// with the byte and word lanes (BW) and byte permutes (VBMI).
struct CpuFeatures {
  bool Sse2, Ssse3, Avx2, Avx512, Avx512Vbmi;
};
const CpuFeatures& CpuHas();

// The tiers of loops, each with the sets of the tiers below it: the loop
// tables are filled for one tier. A processor's tier is the highest whose
// sets it has (Avx512 needs F; its byte-permute loops need VBMI too).
enum class CpuTier : int32_t { Plain, Sse2, Ssse3, Avx2, Avx512 };
constexpr int32_t CpuTierCount = 5;
CpuTier CpuTierOf(const CpuFeatures& has);
// The sets of has that the tier allows.
CpuFeatures CpuCapped(const CpuFeatures& has, CpuTier tier);
// "plain", "sse2", "ssse3", "avx2", "avx512".
const char* CpuTierName(CpuTier tier);
// The tier that a cap names, never above the processor's (has): the
// processor's own for no cap (null) or a name that is none of the tiers'.
CpuTier CpuCap(const char* name, CpuTier has);
// The tier that the loop tables are filled for at start: the processor's,
// capped by the environment variable SPIRALUX_CPU (a developer's knob, which
// lets one machine measure and test each tier), read once.
CpuTier CpuStartTier();

// A function compiled for a set (CPU_SSE2 ...), and a helper always inlined
// into such functions (CPU_SSE2_INLINE ...). The sets are given function by
// function, not to whole files: an inline function of a header compiled in
// a file built for a set could be the copy that the linker keeps for the
// plain callers too.
#define CPU_SSE2 __attribute__((target("sse2")))
#define CPU_SSE2_INLINE __attribute__((target("sse2"), always_inline)) inline
#define CPU_SSSE3 __attribute__((target("ssse3")))
#define CPU_SSSE3_INLINE __attribute__((target("ssse3"), always_inline)) inline
#define CPU_AVX2 __attribute__((target("avx2")))
#define CPU_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline
#define CPU_AVX512 __attribute__((target("avx512f")))
#define CPU_AVX512_INLINE __attribute__((target("avx512f"), always_inline)) inline
#define CPU_AVX512_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))
#define CPU_AVX512_VBMI_INLINE __attribute__((target("avx512f,avx512bw,avx512vbmi"), always_inline)) inline

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
