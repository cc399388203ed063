// The player's plain loops and the one place that picks the vector loops.
#include "player/SpiralLoops.h"

#include <cmath>


namespace {

constexpr double Pi = 3.14159265358979323846;

int32_t RingOf(double steps, int32_t fine) {
  if (steps < fine) return int32_t(steps);
  return fine + int32_t((steps - fine) / SpiralCoarseWidth);
}

// Whether v (>= 0) lies within the margin of a whole number.
bool NearStep(double v) {
  const double f = v - double(int32_t(v));
  return f < SpiralCellMargin || f > 1 - SpiralCellMargin;
}

}  // namespace

uint32_t SpiralCellAt(const SpiralCellGrid& grid, int32_t x, int32_t y) {
  SpiralPoint p = SpiralPointNear(grid.Place, grid.InverseHalf, x, y);
  double steps = p.R * grid.Scale, turns = SpiralArmPhase(p) * (1 / (2 * Pi));
  double at = (turns - std::floor(turns)) * SpiralPhases + 0.5;
  if (NearStep(steps) || NearStep(at)) {
    p = SpiralPointAt(grid.Place, x, y);
    steps = p.R * grid.Scale;
    turns = SpiralArmPhase(p) / (2 * Pi);
    at = std::floor((turns - std::floor(turns)) * SpiralPhases + 0.5);
  }
  return uint32_t(RingOf(steps, grid.Fine)) * SpiralPhases + uint32_t(int32_t(at) & (SpiralPhases - 1));
}

void SpiralCellsPlain(const SpiralCellGrid& grid, int32_t y, int32_t count, uint32_t* out) {
  for (int32_t x = 0; x < count; ++x) out[x] = SpiralCellAt(grid, x, y);
}

void SpiralColoursPlain(const uint16_t* row, const uint8_t* inks, int32_t count, uint32_t* out) {
  const uint16_t* __restrict b0 = row;
  const uint16_t* __restrict g0 = row + SpiralRowEntries;
  const uint16_t* __restrict r0 = row + 2 * SpiralRowEntries;
  const uint16_t* __restrict wa = row + 3 * SpiralRowEntries;
  const uint16_t* __restrict wg = row + 4 * SpiralRowEntries;
  const uint32_t ab = uint32_t(inks[0]) << 8, ag = uint32_t(inks[1]) << 8, ar = uint32_t(inks[2]) << 8;
  const uint32_t gb = uint32_t(inks[3]) << 8, gg = uint32_t(inks[4]) << 8, gr = uint32_t(inks[5]) << 8;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t b = (b0[i] + (wa[i] * ab >> 16) + (wg[i] * gb >> 16) + 128) >> 8;
    uint32_t g = (g0[i] + (wa[i] * ag >> 16) + (wg[i] * gg >> 16) + 128) >> 8;
    uint32_t r = (r0[i] + (wa[i] * ar >> 16) + (wg[i] * gr >> 16) + 128) >> 8;
    out[i] = r << 16 | g << 8 | b;
  }
}

void SpiralReversedPlain(const uint32_t* in, int32_t count, uint32_t* out) {
  for (int32_t i = 0; i < count; ++i) out[-i] = in[i];
}

void SpiralReversed8Plain(const uint8_t* in, int32_t count, uint8_t* out) {
  for (int32_t i = 0; i < count; ++i) out[-i] = in[i];
}

void SpiralIndicesPlain(const uint32_t* colours, int32_t count, const uint8_t* index15, uint8_t* out) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t c = colours[i];
    out[i] = index15[(c >> 9 & 0x7C00) | (c >> 6 & 0x3E0) | (c >> 3 & 0x1F)];
  }
}

namespace {

constexpr SpiralLoops plain = {SpiralCellsPlain, SpiralColoursPlain, SpiralReversedPlain, SpiralReversed8Plain,
                               SpiralIndicesPlain};

SpiralLoops Chosen(const CpuFeatures& has) {
  if (has.Avx2) return SpiralLoopsAvx2;
  if (has.Sse2) return SpiralLoopsSse2;
  return plain;
}

}  // namespace

// The plain loops until the table is filled at start, for any start-up code
// of another file that runs first.
SpiralLoops SpiralKernels = plain;

namespace {

struct FillAtStart {
  FillAtStart() { SpiralKernels = SpiralLoopsOf(CpuStartTier()); }
} fillAtStart;

}  // namespace

SpiralLoops SpiralLoopsOf(CpuTier tier) { return Chosen(CpuCapped(CpuHas(), tier)); }

void SpiralLoopsForTests(CpuTier tier) { SpiralKernels = SpiralLoopsOf(tier); }
