// The spiral picture. Colours are worked out in linear 0..1 floats per
// channel and rounded to 8 bits at the end.
#include "SpiralPicture.h"

#include <cmath>
#include <cstring>

#include "runtime/Errors.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

// cos(x) for any x: reduced to [0, pi/2] and a Taylor polynomial to x^16.
double Cosine(double x) {
  double y = x - std::floor(x / (2 * Pi) + 0.5) * (2 * Pi);
  double a = y < 0 ? -y : y;
  double sign = 1;
  if (a > Pi / 2) {
    a = Pi - a;
    sign = -1;
  }
  double a2 = a * a, term = 1, sum = 1;
  for (int32_t k = 1; k <= 8; ++k) {
    term = -term * a2 / double((2 * k - 1) * (2 * k));
    sum += term;
  }
  return sign * sum;
}

// atan(s) for |s| <= tan(pi/8), by its series.
double ArcTanSmall(double s) {
  double s2 = s * s, power = s, sum = 0;
  for (int32_t k = 0; k < 12; ++k) {
    sum += (k % 2 ? -power : power) / double(2 * k + 1);
    power *= s2;
  }
  return sum;
}

// ln(x) for x > 0: x = m 2^e with m in [0.5, 1), ln m = 2 atanh((m-1)/(m+1)).
double LogSeries(double s) {
  double s2 = s * s, power = s, sum = 0;
  for (int32_t k = 0; k < 12; ++k) {
    sum += power / double(2 * k + 1);
    power *= s2;
  }
  return 2 * sum;
}

// The same series for SpiralPointNear: s times a polynomial of s^2 whose
// coefficients are the reciprocals of the odd numbers (their signs
// alternating for the arc tangent), evaluated as a tree of products
// (Estrin's scheme) so that the terms do not wait for one another.
template <bool Alternating>
double SeriesNear(double s) {
  constexpr double sign = Alternating ? -1.0 : 1.0;
  constexpr double c[12] = {1.0,         sign / 3,  1.0 / 5,  sign / 7,  1.0 / 9,  sign / 11,
                            1.0 / 13,    sign / 15, 1.0 / 17, sign / 19, 1.0 / 21, sign / 23};
  const double z = s * s, z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
  const double p0 = c[0] + c[1] * z, p1 = c[2] + c[3] * z, p2 = c[4] + c[5] * z;
  const double p3 = c[6] + c[7] * z, p4 = c[8] + c[9] * z, p5 = c[10] + c[11] * z;
  const double q0 = p0 + p1 * z2, q1 = p2 + p3 * z2, q2 = p4 + p5 * z2;
  return s * (q0 + q1 * z4 + q2 * z8);
}

template <bool Exact>
double ArcTan2(double y, double x) {
  double ax = x < 0 ? -x : x, ay = y < 0 ? -y : y;
  if (ax == 0 && ay == 0) return 0;
  double t = ax < ay ? ax / ay : ay / ax;
  double a = t > 0.41421356237309503 ? Pi / 4 + (Exact ? ArcTanSmall((t - 1) / (t + 1)) : SeriesNear<true>((t - 1) / (t + 1)))
                                     : (Exact ? ArcTanSmall(t) : SeriesNear<true>(t));
  if (ay > ax) a = Pi / 2 - a;
  if (x < 0) a = Pi - a;
  return y < 0 ? -a : a;
}

template <bool Exact>
double Log(double x) {
  int32_t e = 0;
  double m;
  if (Exact) {
    m = std::frexp(x, &e);
  } else {
    // frexp of a positive normal number by its bits.
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    e = int32_t(bits >> 52) - 1022;
    bits = (bits & ((uint64_t(1) << 52) - 1)) | uint64_t(1022) << 52;
    std::memcpy(&m, &bits, sizeof m);
  }
  double s = (m - 1) / (m + 1);
  return e * 0.69314718055994531 + (Exact ? LogSeries(s) : 2 * SeriesNear<false>(s));
}

template <bool Exact>
SpiralPoint PolarOf(double u, double v) {
  double r = std::sqrt(u * u + v * v) + 1e-9;
  return SpiralPoint{r, Log<Exact>(r), ArcTan2<Exact>(v, u)};
}

double Mix(double a, double b, double t) { return a + (b - a) * t; }
double Clamp01(double v) { return v < 0 ? 0 : v > 1 ? 1 : v; }
double Smooth(double v) {
  v = Clamp01(v);
  return v * v * (3 - 2 * v);
}

using Colour = SpiralColour;

Colour Mix(const Colour& a, const Colour& b, double t) {
  return Colour{Mix(a.R, b.R, t), Mix(a.G, b.G, t), Mix(a.B, b.B, t)};
}

}  // namespace

const SpiralInks SpiralDesignInks = {
    {0.10, 0.02, 0.20}, {0.55, 0.16, 0.80}, {0.86, 0.36, 0.92},
    {1.00, 0.50, 0.08}, {1.00, 0.86, 0.22}, {1.00, 0.98, 0.88},
};

uint8_t SpiralByte(double v) { return uint8_t(std::floor(Clamp01(v) * 255 + 0.5)); }

// The spiral's own centre lies off the canvas's centre by (0.06, -0.04)
// half-heights.
SpiralPoint SpiralPointAt(const SpiralPlacement& place, int32_t x, int32_t y) {
  return PolarOf<true>((x + 0.5 - place.CentreX) / place.Half - 0.06, (y + 0.5 - place.CentreY) / place.Half + 0.04);
}

SpiralPoint SpiralPointNear(const SpiralPlacement& place, double inverseHalf, int32_t x, int32_t y) {
  return PolarOf<false>((x + 0.5 - place.CentreX) * inverseHalf - 0.06, (y + 0.5 - place.CentreY) * inverseHalf + 0.04);
}

SpiralDistanceWeights SpiralDistanceWeightsAt(double r) {
  SpiralDistanceWeights d;
  // The arms fade at the rim; ripples die out away from the core, around
  // the core's glow.
  d.Reach = Smooth(1.45 - r);
  d.Ripple = 0.35 * ((0.5 + 0.5 * Cosine(38 * r)) * Smooth(1 - r / 0.55));
  const double q = r / 0.16, glow = 1 / ((1 + q * q) * (1 + q * q));
  d.Glow = Clamp01(glow * 1.2);
  d.Violet = Smooth(1.25 - r * 0.8);
  d.Shade = 1 - 0.45 * Smooth((r - 0.9) / 0.9);
  return d;
}

SpiralPhaseWeights SpiralPhaseWeightsAt(double armPhase) {
  // Three golden arms winding out as a logarithmic spiral.
  const double arm = 0.5 + 0.5 * Cosine(armPhase);
  const double arm3 = arm * arm * arm, arm6 = arm3 * arm3, arm24 = arm6 * arm6 * arm6 * arm6;
  return SpiralPhaseWeights{arm3, Clamp01(arm3 * 1.35), 0.6 * arm24, 1 - arm3};
}

SpiralMixes SpiralMixesOf(const SpiralDistanceWeights& d, const SpiralPhaseWeights& a) {
  SpiralMixes m;
  m.Violet = d.Violet * 0.55;
  m.Orchid = 0;
  m.ArmGold = a.Arm3;
  m.Arm = a.Arm * d.Reach;
  m.Highlight = a.Highlight * d.Reach;
  m.Ripple = d.Ripple * a.Trough;
  m.Glow = d.Glow;
  m.Spark = 0;
  m.Shade = d.Shade;
  return m;
}

SpiralMixes SpiralMixesAt(const SpiralPoint& p, double armPhase, int32_t x, int32_t y, uint32_t layers) {
  const double r = p.R, angle = p.Angle, lr = p.LogR;
  const SpiralDistanceWeights d = SpiralDistanceWeightsAt(r);
  const SpiralPhaseWeights a = SpiralPhaseWeightsAt(armPhase);
  SpiralMixes m = SpiralMixesOf(d, a);
  if (layers & SpiralGroundShading) m.Violet = d.Violet * (0.55 + 0.45 * Cosine(angle - 1.3 * lr));
  if (layers & SpiralFilaments) {
    // A finer pattern turning the other way: thin violet-white filaments.
    double fine = 0.5 + 0.5 * Cosine(8 * angle - 13 * lr);
    double fine2 = fine * fine, fine8 = fine2 * fine2 * fine2 * fine2;
    m.Orchid = 0.55 * fine8 * Smooth(1.6 - r);
  }
  if (layers & SpiralSparks) {
    double spark = SpiralSparkAt(x, y);
    if (spark != 0) m.Spark = spark * (1 - a.Arm3 * d.Reach);
  }
  return m;
}

SpiralColour SpiralCompose(const SpiralMixes& m, const SpiralInks& k) {
  Colour c = Mix(k.Night, k.Violet, m.Violet);
  c = Mix(c, k.Orchid, m.Orchid);
  c = Mix(c, Mix(k.Amber, k.Gold, m.ArmGold), m.Arm);
  c = Mix(c, k.Core, m.Highlight);
  c = Mix(c, k.Gold, m.Ripple);
  c = Mix(c, k.Core, m.Glow);
  if (m.Spark != 0) c = Mix(c, k.Core, m.Spark);
  return Colour{c.R * m.Shade, c.G * m.Shade, c.B * m.Shade};
}

void MakeSpiralPicture(ImageBuffer& image, int32_t width, int32_t height) {
  MonRun([&] {
    ImgAlloc(image, width, height, 24, 0, "spiral");
    const SpiralPlacement place = {width * 0.5, height * 0.5, height * 0.5};
    uint8_t* p = image.Pixels;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x, p += 3) {
        SpiralPoint at = SpiralPointAt(place, x, y);
        SpiralColour c = SpiralCompose(SpiralMixesAt(at, SpiralArmPhase(at), x, y, SpiralAllLayers),
                                       SpiralDesignInks);
        p[0] = SpiralByte(c.B);
        p[1] = SpiralByte(c.G);
        p[2] = SpiralByte(c.R);
      }
  });
}
