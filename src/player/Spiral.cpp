// Spiral: set-up, tables and the two renderers of the animation.
#include "player/Spiral.h"

#include <cmath>
#include <cstring>

#include "image/Quantize.h"
#include "image/QuantizeInternal.h"
#include "runtime/Errors.h"

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int32_t PhaseMask = SpiralPhases - 1;
// Rings are one step wide out to FineReach half-heights (the core, its glow
// and the ripples change quickly there) and CoarseWidth steps beyond; a step
// is a pixel, or less on screens lower than MinSteps * 2 pixels.
constexpr double FineReach = 0.6;
constexpr int32_t CoarseWidth = 4;
constexpr double MinSteps = 512;
// One turn of the spiral every TurnSeconds; the inks' waves start over every
// WaveSeconds and fade in over the first FadeInSeconds.
constexpr double TurnSeconds = 24;
constexpr double WaveSeconds = 6;
constexpr double FadeInSeconds = 3;
// What the arms' inks cycle towards.
constexpr SpiralColour Coral = {1.00, 0.32, 0.28};
constexpr SpiralColour Rose = {1.00, 0.66, 0.78};

// Ring steps per half-height.
double RingScale(const SpiralPlacement& place) { return place.Half > MinSteps ? place.Half : MinSteps; }

int32_t FineRings(const SpiralPlacement& place) { return int32_t(std::ceil(FineReach * RingScale(place))); }

int32_t RingOf(double pixels, int32_t fine) {
  if (pixels < fine) return int32_t(pixels);
  return fine + int32_t((pixels - fine) / CoarseWidth);
}

double RingMiddle(int32_t ring, int32_t fine) {
  if (ring < fine) return ring + 0.5;
  return fine + (ring - fine) * double(CoarseWidth) + CoarseWidth * 0.5;
}

double Smooth01(double v) {
  v = v < 0 ? 0 : v > 1 ? 1 : v;
  return v * v * (3 - 2 * v);
}

SpiralColour Blend(const SpiralColour& a, const SpiralColour& b, double t) {
  return SpiralColour{a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}

uint16_t Fixed(double v, double one) {
  double f = std::floor(v * one + 0.5);
  return uint16_t(f < 0 ? 0 : f > 65535 ? 65535 : f);
}

}  // namespace

SpiralPlacement SpiralScreenPlacement(int32_t width, int32_t height) {
  return SpiralPlacement{width * 0.5, height * 0.5, height * 0.5};
}

void SpiralSetUp(SpiralScene& scene, int32_t width, int32_t height, const SpiralPlacement& place) {
  MonRun([&] {
    if (width < 1 || height < 1 || width > SpiralMaxSide || height > SpiralMaxSide || !(place.Half > 0))
      MonSetError(ErrMemInvalidRequest);
    scene.Width = width;
    scene.Height = height;
    scene.Place = place;
    const int32_t fine = FineRings(place);
    const double scale = RingScale(place);
    scene.Cells.assign(size_t(width) * size_t(height), 0);
    scene.Sparks.clear();

    // Every pixel's ring and arms' phase; the rings reach as far as the
    // farthest pixel.
    int32_t rings = 1;
    uint32_t* cell = scene.Cells.data();
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x, ++cell) {
        SpiralPoint p = SpiralPointAt(place, x, y);
        int32_t ring = RingOf(p.R * scale, fine);
        double turns = SpiralArmPhase(p) / (2 * Pi);
        int32_t phase = int32_t(std::floor((turns - std::floor(turns)) * SpiralPhases + 0.5)) & PhaseMask;
        *cell = uint32_t(ring) * SpiralPhases + uint32_t(phase);
        if (ring >= rings) rings = ring + 1;
        double spark = SpiralSparkAt(x, y);
        if (spark != 0) {
          int32_t pixel = int32_t(cell - scene.Cells.data());
          scene.Sparks.push_back(SpiralSpark{pixel, int32_t(*cell), int32_t(std::floor(spark * 256 + 0.5)),
                                             int32_t(uint32_t(pixel) * 2654435761u >> 22)});
        }
      }

    // Each ring's entries: the design's weights at the ring's middle for
    // every phase, as a fixed part and the weights of the two arm inks.
    scene.RingCount = rings;
    scene.RingRadius.resize(size_t(rings));
    scene.RingReach.resize(size_t(rings));
    for (auto& core : scene.RingCore) core.resize(size_t(rings));
    for (auto& plane : scene.Rest) plane.resize(size_t(rings) * SpiralPhases);
    scene.Amber.resize(size_t(rings) * SpiralPhases);
    scene.Gold.resize(size_t(rings) * SpiralPhases);
    scene.RingInks.resize(size_t(rings) * 6);
    scene.Table8.resize(size_t(rings) * SpiralPhases);
    scene.Table.resize(size_t(rings) * SpiralPhases);
    SpiralInks rest = SpiralDesignInks, amber{}, gold{};
    rest.Amber = rest.Gold = SpiralColour{0, 0, 0};
    amber.Amber = SpiralColour{1, 1, 1};
    gold.Gold = SpiralColour{1, 1, 1};
    for (int32_t ring = 0; ring < rings; ++ring) {
      SpiralPoint p = {RingMiddle(ring, fine) / scale, 0, 0};
      scene.RingRadius[size_t(ring)] = p.R;
      const size_t row = size_t(ring) * SpiralPhases;
      // The weights depend on the phase through its cosine only.
      for (int32_t j = 0; j <= SpiralPhases / 2; ++j) {
        SpiralMixes m = SpiralMixesAt(p, 2 * Pi * j / SpiralPhases, 0, 0, 0);
        SpiralColour c = SpiralCompose(m, rest);
        const uint16_t e[5] = {Fixed(c.B, 255 * 256), Fixed(c.G, 255 * 256), Fixed(c.R, 255 * 256),
                               Fixed(SpiralCompose(m, amber).R, 65535), Fixed(SpiralCompose(m, gold).R, 65535)};
        for (size_t at : {row + size_t(j), row + size_t((SpiralPhases - j) & PhaseMask)}) {
          for (int32_t ch = 0; ch < 3; ++ch) scene.Rest[ch][at] = e[ch];
          scene.Amber[at] = e[3];
          scene.Gold[at] = e[4];
        }
        if (j == 0) {
          // At the crest the arms' weight is their reach; the core ink as
          // the rim's shading leaves it is what a spark turns to.
          scene.RingReach[size_t(ring)] = SpiralByte(m.Arm);
          scene.RingCore[0][size_t(ring)] = SpiralByte(SpiralDesignInks.Core.B * m.Shade);
          scene.RingCore[1][size_t(ring)] = SpiralByte(SpiralDesignInks.Core.G * m.Shade);
          scene.RingCore[2][size_t(ring)] = SpiralByte(SpiralDesignInks.Core.R * m.Shade);
        }
      }
    }
    for (int32_t j = 0; j < SpiralPhases; ++j) {
      double arm = 0.5 + 0.5 * std::cos(2 * Pi * j / SpiralPhases);
      scene.ArmCube[j] = SpiralByte(arm * arm * arm);
    }
  });
}

SpiralMoment SpiralMomentAt(double seconds) {
  // Turning by t radians shifts the arms' phase by 3 t.
  double turns = 3 * seconds / TurnSeconds;
  int32_t shift = int32_t(std::floor((turns - std::floor(turns)) * SpiralPhases + 0.5)) & PhaseMask;
  return SpiralMoment{shift, seconds};
}

void SpiralRingInks(const SpiralScene& scene, int32_t ring, double seconds, SpiralColour& amber,
                    SpiralColour& gold) {
  // Waves of colour running out along the arms: one wave per WaveSeconds,
  // a wave's crest farther out the later, faded in from time 0.
  double lr = std::log(scene.RingRadius[size_t(ring)]);
  double wave = 0.5 + 0.5 * std::cos(2 * Pi * seconds / WaveSeconds - 2.5 * lr);
  double g = Smooth01(seconds / FadeInSeconds) * wave * wave;
  amber = Blend(SpiralDesignInks.Amber, Coral, 0.75 * g);
  gold = Blend(SpiralDesignInks.Gold, Rose, 0.6 * g);
}

namespace {

// Entries first .. first + count - 1 of the planes into out: the fixed part
// and the two inks' parts (weight x ink x 256 / 65536, a multiply-high) add
// up without overflow, and the rounding shift makes the byte.
void FillRun(const SpiralScene& scene, size_t first, int32_t count, const uint8_t* inks, uint32_t* out) {
  const uint16_t* __restrict b0 = &scene.Rest[0][first];
  const uint16_t* __restrict g0 = &scene.Rest[1][first];
  const uint16_t* __restrict r0 = &scene.Rest[2][first];
  const uint16_t* __restrict wa = &scene.Amber[first];
  const uint16_t* __restrict wg = &scene.Gold[first];
  const uint32_t ab = uint32_t(inks[0]) << 8, ag = uint32_t(inks[1]) << 8, ar = uint32_t(inks[2]) << 8;
  const uint32_t gb = uint32_t(inks[3]) << 8, gg = uint32_t(inks[4]) << 8, gr = uint32_t(inks[5]) << 8;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t b = (b0[i] + (wa[i] * ab >> 16) + (wg[i] * gb >> 16) + 128) >> 8;
    uint32_t g = (g0[i] + (wa[i] * ag >> 16) + (wg[i] * gg >> 16) + 128) >> 8;
    uint32_t r = (r0[i] + (wa[i] * ar >> 16) + (wg[i] * gr >> 16) + 128) >> 8;
    out[i] = r << 16 | g << 8 | b;
  }
}

}  // namespace

void SpiralFillTable(SpiralScene& scene, const SpiralMoment& moment) {
  const int32_t shift = moment.Shift & PhaseMask;
  for (int32_t ring = 0; ring < scene.RingCount; ++ring) {
    SpiralColour a, g;
    SpiralRingInks(scene, ring, moment.Seconds, a, g);
    uint8_t* inks = &scene.RingInks[size_t(ring) * 6];
    const SpiralColour* both[2] = {&a, &g};
    for (int32_t k = 0; k < 2; ++k) {
      inks[3 * k] = SpiralByte(both[k]->B);
      inks[3 * k + 1] = SpiralByte(both[k]->G);
      inks[3 * k + 2] = SpiralByte(both[k]->R);
    }
    // Entry j of the frame is entry j - shift of the design: two runs.
    const size_t row = size_t(ring) * SpiralPhases;
    uint32_t* out = &scene.Table[row];
    FillRun(scene, row + size_t(SpiralPhases - shift), shift, inks, out);
    FillRun(scene, row, SpiralPhases - shift, inks, out + shift);
  }
}

namespace {

// The spark's colour over the frame's colour at its pixel: the arms dim a
// spark as in the design, and each twinkles at its own pace.
uint32_t SparkOver(const SpiralScene& scene, const SpiralSpark& s, int32_t shift, double seconds, uint32_t c) {
  int32_t ring = s.Cell / SpiralPhases, phase = s.Cell & PhaseMask;
  int32_t dim = 255 * 255 - scene.ArmCube[(phase - shift) & PhaseMask] * scene.RingReach[size_t(ring)];
  double period = 2 + 2.0 * s.Twinkle / SpiralPhases;
  double twinkle = 0.5 + 0.5 * std::cos(2 * Pi * seconds / period);
  int32_t k = int32_t(s.Strength * twinkle * dim / (255 * 255));  // 0..256
  uint32_t out = 0;
  for (int32_t ch = 0; ch < 3; ++ch) {
    int32_t v = int32_t(c >> (8 * ch) & 255), core = scene.RingCore[ch][size_t(ring)];
    v += ((core - v) * k + 128) >> 8;
    out |= uint32_t(v) << (8 * ch);
  }
  return out;
}

}  // namespace

void SpiralRender32(SpiralScene& scene, double seconds, uint8_t* pixels, int32_t stride) {
  SpiralMoment moment = SpiralMomentAt(seconds);
  SpiralFillTable(scene, moment);
  const uint32_t* table = scene.Table.data();
  const uint32_t* cell = scene.Cells.data();
  for (int32_t y = 0; y < scene.Height; ++y, cell += scene.Width) {
    uint32_t* row = reinterpret_cast<uint32_t*>(pixels + ptrdiff_t(y) * stride);
    for (int32_t x = 0; x < scene.Width; ++x) row[x] = table[cell[x]];
  }
  for (const SpiralSpark& s : scene.Sparks) {
    uint32_t* p = reinterpret_cast<uint32_t*>(pixels + ptrdiff_t(s.Pixel / scene.Width) * stride) +
                  s.Pixel % scene.Width;
    *p = SparkOver(scene, s, moment.Shift, seconds, scene.Table[size_t(s.Cell)]);
  }
}

void SpiralRender8(SpiralScene& scene, const SpiralPalette& palette, double seconds, uint8_t* pixels,
                   int32_t stride) {
  SpiralMoment moment = SpiralMomentAt(seconds);
  SpiralFillTable(scene, moment);
  // The table's colours become palette indices: one lookup per entry, none
  // per pixel.
  const uint32_t* table = scene.Table.data();
  uint8_t* table8 = scene.Table8.data();
  for (size_t i = 0, n = scene.Table.size(); i < n; ++i) table8[i] = SpiralIndexOf(palette, table[i]);
  const uint32_t* cell = scene.Cells.data();
  for (int32_t y = 0; y < scene.Height; ++y, cell += scene.Width) {
    uint8_t* row = pixels + ptrdiff_t(y) * stride;
    for (int32_t x = 0; x < scene.Width; ++x) row[x] = table8[cell[x]];
  }
  for (const SpiralSpark& s : scene.Sparks)
    pixels[ptrdiff_t(s.Pixel / scene.Width) * stride + s.Pixel % scene.Width] =
        SpiralIndexOf(palette, SparkOver(scene, s, moment.Shift, seconds, table[s.Cell]));
}

void SpiralBuildPalette(SpiralPalette& palette, int32_t count) {
  // The colours of a small screen over a cycle of the inks' waves, at
  // moments spread over a turn of the arms.
  constexpr int32_t Width = 192, Height = 108, Moments = 12;
  ImageBuffer sample;
  ImgInit(sample);
  MonRun([&] {
    SpiralScene scene;
    SpiralSetUp(scene, Width, Height, SpiralScreenPlacement(Width, Height));
    ImgAlloc(sample, Width, Height * Moments, 24, 0, "palette sample");
    std::vector<uint8_t> frame(size_t(Width) * Height * 4);
    for (int32_t m = 0; m < Moments; ++m) {
      double seconds = m == 0 ? 0 : FadeInSeconds + WaveSeconds * m / Moments + TurnSeconds * m / (3 * Moments);
      SpiralRender32(scene, seconds, frame.data(), Width * 4);
      uint8_t* out = sample.Pixels + size_t(m) * Width * Height * 3;
      for (size_t i = 0; i < size_t(Width) * Height; ++i) std::memcpy(out + 3 * i, &frame[4 * i], 3);
    }
    QuantPrepare();
    try {
      QuantCount(sample);
      QuantBuild(count);
      palette.Count = QuantWorkArea()->TargetColours;
      std::memcpy(palette.Colours, QuantWorkArea()->QuantPalette, sizeof palette.Colours);
    } catch (...) {
      QuantRelease();
      throw;
    }
    QuantRelease();
    // Every 15-bit colour's nearest entry, searched from the middle of its
    // 8 x 8 x 8 cube.
    QuantArea::SortedEntry sorted[256];
    QuantSortPalette(palette.Colours, palette.Count, sorted);
    palette.Index15.resize(32768);
    for (int32_t c = 0; c < 32768; ++c) {
      int32_t r = (c >> 10) * 8 + 4, g = (c >> 5 & 31) * 8 + 4, b = (c & 31) * 8 + 4;
      palette.Index15[size_t(c)] = uint8_t(QuantNearestSorted(r, g, b, palette.Count, sorted));
    }
  });
  ImgFree(sample);
}
