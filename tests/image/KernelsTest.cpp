// The loop tables: the tests' switch really gives the plain loops, and back
// the vector loops of every set the processor has. Without it the tests that
// compare vector and plain runs would compare a loop with itself.
#include <gtest/gtest.h>

#include <vector>

#include "image/Cpu.h"
#include "image/Kernels.h"

namespace {

// Each entry of the tables with its plain loop, and whether the processor
// has a vector loop for it.
struct Entry {
  const char* Name;
  const void* (*Current)();
  const void* Plain;
  bool Vector;
};

template <class F>
const void* Address(F f) {
  return reinterpret_cast<const void*>(f);
}

std::vector<Entry> Entries() {
  const CpuFeatures& has = CpuHas();
  const bool converters = has.Avx512Vbmi || has.Ssse3;
  return {
      {"Widen555To24", [] { return Address(Kernels.Pixels.Widen555To24); }, Address(Widen555To24Plain), converters},
      {"Widen565To24", [] { return Address(Kernels.Pixels.Widen565To24); }, Address(Widen565To24Plain), converters},
      {"Narrow24To555", [] { return Address(Kernels.Pixels.Narrow24To555); }, Address(Narrow24To555Plain), converters},
      {"Narrow24To565", [] { return Address(Kernels.Pixels.Narrow24To565); }, Address(Narrow24To565Plain), converters},
      {"Spread24To32", [] { return Address(Kernels.Pixels.Spread24To32); }, Address(Spread24To32Plain), converters},
      {"Grey24", [] { return Address(Kernels.Pixels.Grey24); }, Address(Grey24Plain), converters},
      {"PaletteTo24", [] { return Address(Kernels.Pixels.PaletteTo24); }, Address(PaletteTo24Plain), has.Avx512Vbmi},
      {"PaletteTo32", [] { return Address(Kernels.Pixels.PaletteTo32); }, Address(PaletteTo32Plain), has.Avx512Vbmi},
      {"MapNearest", [] { return Address(Kernels.Maps.Nearest); }, Address(MapNearestPlain), has.Avx512Vbmi},
      {"OrderedRow", [] { return Address(Kernels.Maps.OrderedRow); }, Address(OrderedRowPlain), has.Avx512Vbmi},
      {"Diffuse", [] { return Address(Kernels.Maps.Diffuse); }, Address(DiffusePlain), has.Sse2},
      {"AverageBytes", [] { return Address(Kernels.Scale.AverageBytes); }, Address(AverageBytesPlain), has.Sse2},
      {"AddBytes", [] { return Address(Kernels.Scale.AddBytes); }, Address(AddBytesPlain), has.Sse2},
      {"DivideWords", [] { return Address(Kernels.Scale.DivideWords); }, Address(DivideWordsPlain), has.Sse2},
      {"QuantNearest", [] { return Address(Kernels.Quant.Nearest); }, Address(QuantNearestPlain), has.Avx512},
  };
}

}  // namespace

TEST(Kernels, TheTestsSwitchGivesThePlainLoopsAndBackTheVectorOnes) {
  const std::vector<Entry> entries = Entries();
  for (bool vector : {false, true, false, true}) {
    KernelsForTests(vector);
    for (const Entry& e : entries)
      EXPECT_EQ(e.Current() != e.Plain, vector && e.Vector) << e.Name << (vector ? " with" : " without")
                                                            << " the vector loops";
  }
}
