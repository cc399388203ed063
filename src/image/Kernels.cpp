// The one place that picks the vector loops, from the processor's sets
// that a tier allows.
#include "image/Kernels.h"

#include "image/Cpu.h"

namespace {

constexpr ImageKernels plain = {
    {Widen555To24Plain, Widen565To24Plain, Narrow24To555Plain, Narrow24To565Plain, Spread24To32Plain, Grey24Plain,
     PaletteTo24Plain, PaletteTo32Plain},
    {MapNearestPlain, OrderedRowPlain, DiffusePlain},
    {AverageBytesPlain, AddBytesPlain, DivideWordsPlain},
    {QuantSearchPlain, QuantNearestPlain, QuantCutPlain, QuantCellsPlain}};

ImageKernels Chosen(const CpuFeatures& has) {
  ImageKernels k = plain;
  if (has.Avx512Vbmi) {
    k.Pixels = PixelsAvx512;
    k.Maps.Nearest = MapNearestAvx512;
    k.Maps.OrderedRow = OrderedRowAvx512;
  } else if (has.Avx2) {
    k.Pixels = PixelsAvx2;
    k.Maps.Nearest = MapNearestAvx2;
    k.Maps.OrderedRow = OrderedRowAvx2;
  } else if (has.Ssse3) {
    k.Pixels = PixelsSsse3;
  }
  if (has.Sse2) k.Maps.Diffuse = DiffuseSse2;
  if (has.Avx2) k.Scale = ScaleAvx2;
  if (has.Avx2)
    k.Quant = {QuantSearchGreenPlanes, QuantNearestAvx2, QuantCutAvx2, QuantCellsAvx2};
  return k;
}

}  // namespace

// The plain loops until the table is filled at start, for any start-up code
// of another file that runs first: they need no question to the processor.
ImageKernels Kernels = plain;

namespace {

struct FillAtStart {
  FillAtStart() { Kernels = KernelsOf(CpuStartTier()); }
} fillAtStart;

}  // namespace

ImageKernels KernelsOf(CpuTier tier) { return Chosen(CpuCapped(CpuHas(), tier)); }

void KernelsForTests(CpuTier tier) { Kernels = KernelsOf(tier); }
