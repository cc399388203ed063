// SpiralPicture: the generator of the built-in preview picture, a glowing
// three-armed golden spiral on a purple ground with a finer counter-turning
// filament pattern, ripples around a bright core and scattered sparks.
//
// The picture is a pure function of its size, computed with the library's
// own polynomial cosine, arc tangent and logarithm on IEEE doubles in a fixed
// order (no x87 extended precision, no contraction), so every build makes
// the same bytes: the embedded block can be checked against it anywhere.
//
// The design is also open in pieces for the player, which animates it: the
// position of a pixel, the blend weights of the layers at a point, and the
// composition of those weights with the six inks. Every colour is a chain of
// linear blends, so it is linear in the inks.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"

// Monitored. Allocates image at width x height, 24 bits, and paints the
// spiral into it; allocation errors come from ImgAlloc.
void MakeSpiralPicture(ImageBuffer& image, int32_t width, int32_t height);

struct SpiralColour {
  double R, G, B;  // linear 0..1
};

struct SpiralInks {
  SpiralColour Night, Violet, Orchid, Amber, Gold, Core;
};
extern const SpiralInks SpiralDesignInks;

// Where the design sits on a canvas: the pixel position of the screen's
// centre and the size of half the screen's height in pixels. The picture of
// width x height has (width / 2, height / 2) and height / 2.
struct SpiralPlacement {
  double CentreX, CentreY, Half;
};

// Polar position of the pixel (x, y) about the spiral's own centre: R in
// half-heights, LogR its logarithm, Angle in radians.
struct SpiralPoint {
  double R, LogR, Angle;
};
SpiralPoint SpiralPointAt(const SpiralPlacement& place, int32_t x, int32_t y);
// SpiralPointAt about three times as fast: a multiplication by inverseHalf,
// the half-height's reciprocal, in place of the divisions by it, and the
// series as polynomials whose terms are worked out side by side. R lies
// within 1e-14 x (1 + R) of SpiralPointAt's, LogR within 1e-12, Angle within
// 1e-12 modulo 2 pi. For a caller that rounds them and takes SpiralPointAt
// when a value lies that close to a step of its rounding.
SpiralPoint SpiralPointNear(const SpiralPlacement& place, double inverseHalf, int32_t x, int32_t y);

// The phase of the golden arms at a point: the arms are brightest where its
// cosine is 1. Turning the spiral by t radians subtracts 3 t.
inline double SpiralArmPhase(const SpiralPoint& p) { return 3 * p.Angle + 5.0 * p.LogR; }

// Layers that depend on more than the distance from the centre and the arms'
// phase; a layer left out takes its mean (no filaments, no sparks, the
// violet ground's angular shading at its middle).
constexpr uint32_t SpiralFilaments = 1;
constexpr uint32_t SpiralGroundShading = 2;
constexpr uint32_t SpiralSparks = 4;
constexpr uint32_t SpiralAllLayers = 7;

// Blend weights of the layers, in the order SpiralCompose applies them.
struct SpiralMixes {
  double Violet;     // night -> violet
  double Orchid;     // -> orchid filaments
  double ArmGold;    // amber -> gold inside the arm colour
  double Arm;        // -> arm colour
  double Highlight;  // -> core, the arms' crests
  double Ripple;     // -> gold
  double Glow;       // -> core
  double Spark;      // -> core
  double Shade;      // times, the darkening towards the rim
};

// The weights at a point whose arms' phase is armPhase (SpiralArmPhase, or
// another phase to turn the arms). Angle is read for the filaments and the
// ground's shading, x and y for the sparks, each only when its layer is on.
SpiralMixes SpiralMixesAt(const SpiralPoint& p, double armPhase, int32_t x, int32_t y, uint32_t layers);
// SpiralMixesAt with the layers off in two parts, for a caller that takes
// many phases at each of many distances: the weights that depend on the
// distance r only, those that depend on the arms' phase only, and the
// weights they make, the same doubles as SpiralMixesAt's.
struct SpiralDistanceWeights {
  double Reach;   // how far the arms reach
  double Ripple;  // the ripples' weight at a trough of the arms
  double Glow, Violet, Shade;
};
struct SpiralPhaseWeights {
  double Arm3;       // the arms' brightness cubed
  double Arm;        // the arms' weight where they reach fully
  double Highlight;  // the crests' weight where the arms reach fully
  double Trough;     // 1 - Arm3: where the ripples show
};
SpiralDistanceWeights SpiralDistanceWeightsAt(double r);
SpiralPhaseWeights SpiralPhaseWeightsAt(double armPhase);
SpiralMixes SpiralMixesOf(const SpiralDistanceWeights& distance, const SpiralPhaseWeights& phase);
// The colour of the weights with the inks.
SpiralColour SpiralCompose(const SpiralMixes& m, const SpiralInks& inks);
// The strength of the spark at pixel (x, y) before the arms dim it: 0 for
// the pixels without one (all but about 3 in 512), else 0.5 to 1. Inline:
// the player asks it of every pixel of the screen.
inline uint32_t SpiralScatter(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7FEB352Du;
  v ^= v >> 15;
  v *= 0x846CA68Bu;
  v ^= v >> 16;
  return v;
}
inline double SpiralSparkAt(int32_t x, int32_t y) {
  uint32_t h = SpiralScatter(uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ 0x5EED);
  return (h & 511) < 3 ? 0.5 + double(h >> 24) / 510 : 0;
}
// A linear 0..1 channel as a byte, rounded to nearest.
uint8_t SpiralByte(double v);
