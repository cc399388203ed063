// Spiral: set-up, tables and the two renderers of the animation.
#include "player/Spiral.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include <emmintrin.h>

#include "image/Quantize.h"
#include "player/SpiralLoops.h"
#include "runtime/Errors.h"

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int32_t PhaseMask = SpiralPhases - 1;
// Rings are one step wide out to FineReach half-heights (the core, its glow
// and the ripples change quickly there) and SpiralCoarseWidth steps beyond;
// a step is a pixel, or less on screens lower than MinSteps * 2 pixels.
constexpr double FineReach = 0.6;
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

double RingMiddle(int32_t ring, int32_t fine) {
  if (ring < fine) return ring + 0.5;
  return fine + (ring - fine) * double(SpiralCoarseWidth) + SpiralCoarseWidth * 0.5;
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

namespace {

// The widest tile; narrower where 64 rings are crossed sooner.
constexpr int32_t MaxTileWidth = 128;
constexpr int32_t DesignEntries = SpiralPhases / 2 + 1;

// The first and last ring of the pixels x of rows y0..y1 - 1.
void ColumnRings(const std::vector<uint32_t>& cells, int32_t width, int32_t x, int32_t y0, int32_t y1, int32_t& lo,
                 int32_t& hi) {
  lo = INT32_MAX;
  hi = -1;
  for (int32_t y = y0; y < y1; ++y) {
    int32_t ring = int32_t(cells[size_t(y) * size_t(width) + size_t(x)] / SpiralPhases);
    lo = ring < lo ? ring : lo;
    hi = ring > hi ? ring : hi;
  }
}

// A ring's design row (SpiralLoops.h).
const uint16_t* DesignRow(const SpiralScene& scene, int32_t ring) {
  return &scene.Rows[size_t(ring) * SpiralRowPlanes * SpiralRowEntries];
}

// Whether every pixel x of rows y0..y1 - 1 lies in a still ring.
bool ColumnStill(const SpiralScene& scene, const std::vector<uint32_t>& cells, int32_t x, int32_t y0, int32_t y1) {
  for (int32_t y = y0; y < y1; ++y)
    if (!scene.RingStill[cells[size_t(y) * size_t(scene.Width) + size_t(x)] / SpiralPhases]) return false;
  return true;
}

// The tiles: bands of the tallest height (16, 8, 4, 2 or 1 rows) at which
// every column of a band lies within SpiralTileRings rings (a single pixel
// always does), cut from left to right into tiles as wide as the rule and
// MaxTileWidth allow, and where the columns turn from still to changing or
// back (so that the still pixels make tiles of their own); then the cells,
// tile by tile, from the tile's first ring.
void MakeTiles(SpiralScene& scene, const std::vector<uint32_t>& cells) {
  const int32_t w = scene.Width, h = scene.Height;
  int32_t band = 16;
  for (bool fits = false; !fits && band > 1;) {
    fits = true;
    for (int32_t y0 = 0; fits && y0 < h; y0 += band)
      for (int32_t x = 0, lo, hi; fits && x < w; ++x) {
        ColumnRings(cells, w, x, y0, y0 + band < h ? y0 + band : h, lo, hi);
        fits = hi - lo < SpiralTileRings;
      }
    if (!fits) band /= 2;
  }
  scene.Tiles.clear();
  scene.BandTiles.clear();
  scene.BandSparks.clear();
  size_t spark = 0;
  for (int32_t y0 = 0; y0 < h; y0 += band) {
    const int32_t y1 = y0 + band < h ? y0 + band : h;
    scene.BandTiles.push_back(int32_t(scene.Tiles.size()));
    while (spark < scene.Sparks.size() && scene.Sparks[spark].Pixel < y0 * w) ++spark;
    scene.BandSparks.push_back(int32_t(spark));
    for (int32_t x0 = 0; x0 < w;) {
      int32_t lo = INT32_MAX, hi = -1, x = x0;
      const bool still = ColumnStill(scene, cells, x0, y0, y1);
      for (; x < w && x - x0 < MaxTileWidth; ++x) {
        if (x > x0 && ColumnStill(scene, cells, x, y0, y1) != still) break;
        int32_t clo, chi;
        ColumnRings(cells, w, x, y0, y1, clo, chi);
        clo = clo < lo ? clo : lo;
        chi = chi > hi ? chi : hi;
        if (chi - clo >= SpiralTileRings) break;
        lo = clo;
        hi = chi;
      }
      scene.Tiles.push_back(SpiralTile{x0, y0, x - x0, y1 - y0, lo, 0, still});
      x0 = x;
    }
  }
  scene.BandTiles.push_back(int32_t(scene.Tiles.size()));
  scene.BandSparks.push_back(int32_t(scene.Sparks.size()));
  scene.Cells.resize(cells.size());
  uint32_t at = 0;
  for (SpiralTile& tile : scene.Tiles) {
    tile.FirstCell = at;
    const uint32_t first = uint32_t(tile.FirstRing) * SpiralPhases;
    for (int32_t y = tile.Y; y < tile.Y + tile.Height; ++y)
      for (int32_t x = tile.X; x < tile.X + tile.Width; ++x)
        scene.Cells[at++] = uint16_t(cells[size_t(y) * size_t(w) + size_t(x)] - first);
  }
}

}  // namespace

// The threads that share a frame's bands with the calling thread. Run hands
// out the parts of one job in turn, each to the first thread that asks; a
// part is taken by a compare-and-swap of a ticket that holds the job's
// number, so that a thread that wakes late for a job that is over takes
// nothing of the next one.
class SpiralCrew {
 public:
  using Part = void (*)(void* context, int32_t part);

  explicit SpiralCrew(int32_t workers) {
    for (int32_t i = 0; i < workers; ++i) try {
        threads_.emplace_back([this] { Work(); });
      } catch (const std::exception&) {
        break;  // a thread that cannot be started leaves its parts to the others
      }
  }
  ~SpiralCrew() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    start_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  int32_t Workers() const { return int32_t(threads_.size()); }

  // part(context, k) for every k in 0..parts - 1, on the workers and on the
  // calling thread; returns when every part is done.
  void Run(int32_t parts, Part part, void* context) {
    uint32_t job;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job = ++job_;
      part_ = part;
      context_ = context;
      parts_ = parts;
      done_.store(0);
      ticket_.store(uint64_t(job) << 32);
    }
    start_.notify_all();
    Take(job, parts, part, context);
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [&] { return done_.load() == parts; });
  }

 private:
  void Take(uint32_t job, int32_t parts, Part part, void* context) {
    for (uint64_t t = ticket_.load();;) {
      if (uint32_t(t >> 32) != job || int32_t(t & 0xFFFFFFFFu) >= parts) return;
      if (!ticket_.compare_exchange_weak(t, t + 1)) continue;
      part(context, int32_t(t & 0xFFFFFFFFu));
      if (done_.fetch_add(1) + 1 == parts) {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_.notify_all();
      }
      t = ticket_.load();
    }
  }
  void Work() {
    for (uint32_t seen = 0;;) {
      uint32_t job;
      int32_t parts;
      Part part;
      void* context;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        start_.wait(lock, [&] { return quit_ || job_ != seen; });
        if (quit_) return;
        seen = job = job_;
        parts = parts_;
        part = part_;
        context = context_;
      }
      Take(job, parts, part, context);
    }
  }

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable start_, finished_;
  bool quit_ = false;
  uint32_t job_ = 0;
  int32_t parts_ = 0;
  Part part_ = nullptr;
  void* context_ = nullptr;
  std::atomic<uint64_t> ticket_{0};
  std::atomic<int32_t> done_{0};
};

int32_t SpiralWorkers(const SpiralScene& scene) { return scene.Crew ? scene.Crew->Workers() : 0; }

void SpiralSetWorkers(SpiralScene& scene, int32_t workers) {
  scene.Crew.reset();
  if (workers <= 0) return;
  auto crew = std::make_shared<SpiralCrew>(workers);
  if (crew->Workers() > 0) scene.Crew = std::move(crew);
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
    std::vector<uint32_t> cells(size_t(width) * size_t(height));
    scene.Sparks.clear();

    // Every pixel's cell, row by row; the rings reach as far as the farthest
    // pixel.
    const SpiralCellGrid grid = {place, 1 / place.Half, scale, fine};
    uint32_t farthest = 0;
    for (int32_t y = 0; y < height; ++y) {
      uint32_t* row = &cells[size_t(y) * size_t(width)];
      SpiralKernels.Cells(grid, y, width, row);
      for (int32_t x = 0; x < width; ++x) {
        farthest = row[x] > farthest ? row[x] : farthest;
        const double spark = SpiralSparkAt(x, y);
        if (spark == 0) continue;
        const int32_t pixel = y * width + x;
        scene.Sparks.push_back(SpiralSpark{pixel, int32_t(row[x]), int32_t(std::floor(spark * 256 + 0.5)),
                                           int32_t(uint32_t(pixel) * 2654435761u >> 22)});
      }
    }
    const int32_t rings = int32_t(farthest / SpiralPhases) + 1;

    // Each ring's design row: the design's weights at the ring's middle for
    // every phase of half a turn (the weights of its distance with those of
    // each phase), as a fixed part and the weights of the two arm inks.
    scene.RingCount = rings;
    scene.RingRadius.resize(size_t(rings));
    scene.RingLog.resize(size_t(rings));
    scene.RingReach.resize(size_t(rings));
    for (auto& core : scene.RingCore) core.resize(size_t(rings));
    scene.Rows.assign(size_t(rings) * SpiralRowPlanes * SpiralRowEntries, 0);
    scene.RingInks.resize(size_t(rings) * 6);
    scene.Table8.resize(size_t(rings) * SpiralPhases);
    scene.Table.resize(size_t(rings) * SpiralPhases);
    scene.Designs.resize(size_t(rings) * DesignEntries);
    scene.Twinkles.resize(SpiralPhases);
    SpiralInks rest = SpiralDesignInks, amber{}, gold{};
    rest.Amber = rest.Gold = SpiralColour{0, 0, 0};
    amber.Amber = SpiralColour{1, 1, 1};
    gold.Gold = SpiralColour{1, 1, 1};
    SpiralPhaseWeights phases[DesignEntries];
    for (int32_t j = 0; j < DesignEntries; ++j) phases[j] = SpiralPhaseWeightsAt(2 * Pi * j / SpiralPhases);
    for (int32_t ring = 0; ring < rings; ++ring) {
      const double r = RingMiddle(ring, fine) / scale;
      scene.RingRadius[size_t(ring)] = r;
      scene.RingLog[size_t(ring)] = std::log(r);
      const SpiralDistanceWeights distance = SpiralDistanceWeightsAt(r);
      uint16_t* row = &scene.Rows[size_t(ring) * SpiralRowPlanes * SpiralRowEntries];
      for (int32_t j = 0; j < DesignEntries; ++j) {
        const SpiralMixes m = SpiralMixesOf(distance, phases[j]);
        SpiralColour c = SpiralCompose(m, rest);
        const uint16_t e[SpiralRowPlanes] = {Fixed(c.B, 255 * 256), Fixed(c.G, 255 * 256), Fixed(c.R, 255 * 256),
                                             Fixed(SpiralCompose(m, amber).R, 65535),
                                             Fixed(SpiralCompose(m, gold).R, 65535)};
        for (int32_t plane = 0; plane < SpiralRowPlanes; ++plane) row[plane * SpiralRowEntries + j] = e[plane];
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
    // A ring whose design is the same at every phase and takes no ink shows
    // the same colour in every frame: its entries are made here, once.
    scene.RingStill.assign(size_t(rings), 1);
    for (int32_t ring = 0; ring < rings; ++ring) {
      const uint16_t* row = DesignRow(scene, ring);
      uint8_t& still = scene.RingStill[size_t(ring)];
      for (int32_t plane = 0; plane < SpiralRowPlanes && still; ++plane)
        for (int32_t j = 0; j < DesignEntries && still; ++j)
          still = row[plane * SpiralRowEntries + j] == (plane < 3 ? row[plane * SpiralRowEntries] : 0);
      if (!still) continue;
      uint32_t* design = &scene.Designs[size_t(ring) * DesignEntries];
      const uint8_t noInks[6] = {};
      SpiralKernels.Colours(row, noInks, DesignEntries, design);
      std::fill(&scene.Table[size_t(ring) * SpiralPhases], &scene.Table[size_t(ring + 1) * SpiralPhases], design[0]);
    }
    MakeTiles(scene, cells);
    for (int32_t j = 0; j < SpiralPhases; ++j) {
      double arm = 0.5 + 0.5 * std::cos(2 * Pi * j / SpiralPhases);
      scene.ArmCube[j] = SpiralByte(arm * arm * arm);
    }
    const int32_t cores = int32_t(std::thread::hardware_concurrency());
    scene.Streamed = int64_t(width) * height >= SpiralStreamPixels;
    SpiralSetWorkers(scene, int64_t(width) * height < SpiralCrewPixels ? 0 : cores < 2 ? 0 : cores > 4 ? 3 : cores - 1);
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
  double lr = scene.RingLog[size_t(ring)];
  double wave = 0.5 + 0.5 * std::cos(2 * Pi * seconds / WaveSeconds - 2.5 * lr);
  double g = Smooth01(seconds / FadeInSeconds) * wave * wave;
  amber = Blend(SpiralDesignInks.Amber, Coral, 0.75 * g);
  gold = Blend(SpiralDesignInks.Gold, Rose, 0.6 * g);
}

namespace {

// The ring's inks at the moment into scene.RingInks, which it returns.
const uint8_t* FrameInks(SpiralScene& scene, int32_t ring, double seconds) {
  SpiralColour a, g;
  SpiralRingInks(scene, ring, seconds, a, g);
  uint8_t* inks = &scene.RingInks[size_t(ring) * 6];
  const SpiralColour* both[2] = {&a, &g};
  for (int32_t k = 0; k < 2; ++k) {
    inks[3 * k] = SpiralByte(both[k]->B);
    inks[3 * k + 1] = SpiralByte(both[k]->G);
    inks[3 * k + 2] = SpiralByte(both[k]->R);
  }
  return inks;
}

// A ring's row of the frame's table from its design entries: design phase d
// lies at phase (d + shift) and, for 0 < d < SpiralPhases / 2, at phase
// (shift - d) too, both modulo SpiralPhases. Copy copies count entries
// forwards, Reverse lays them out backwards from the last place given.
template <class T, class Copy, class Reverse>
void PlaceRow(const T* design, int32_t shift, T* out, Copy copy, Reverse reverse) {
  const int32_t ahead = DesignEntries < SpiralPhases - shift ? DesignEntries : SpiralPhases - shift;
  copy(design, ahead, out + shift);
  copy(design + ahead, DesignEntries - ahead, out);
  const int32_t mirrored = DesignEntries - 2, before = shift < mirrored ? shift : mirrored;
  if (before > 0) reverse(design + 1, before, out + shift - 1);
  reverse(design + 1 + before, mirrored - before, out + SpiralPhases - 1);
}

}  // namespace

namespace {

// Rings first .. last - 1 of the frame's tables: the 32-bit one, or with a
// palette the design entries' colours (Designs) and the table of palette
// indices.
void FillRings(SpiralScene& scene, const SpiralPalette* palette, const SpiralMoment& moment, int32_t first,
               int32_t last) {
  const int32_t shift = moment.Shift & PhaseMask;
  uint32_t scratch[SpiralRowEntries];
  uint8_t indices[SpiralRowEntries];
  auto copy32 = [](const uint32_t* in, int32_t n, uint32_t* out) { std::memcpy(out, in, sizeof(uint32_t) * size_t(n)); };
  auto copy8 = [](const uint8_t* in, int32_t n, uint8_t* out) { std::memcpy(out, in, size_t(n)); };
  for (int32_t ring = first; ring < last; ++ring) {
    // A ring's row is a page: for a large 32-bit frame its translation is
    // asked for two rings ahead (PrefetchBand).
    if (!palette && scene.Streamed && ring + 2 < last)
      _mm_prefetch(reinterpret_cast<const char*>(&scene.Table[size_t(ring + 2) * SpiralPhases]), _MM_HINT_T0);
    if (scene.RingStill[size_t(ring)]) {
      // Its colour is in place since the set-up; its palette index is not.
      if (palette)
        std::memset(&scene.Table8[size_t(ring) * SpiralPhases],
                    SpiralIndexOf(*palette, scene.Designs[size_t(ring) * DesignEntries]), SpiralPhases);
      continue;
    }
    uint32_t* design = palette ? &scene.Designs[size_t(ring) * DesignEntries] : scratch;
    SpiralKernels.Colours(DesignRow(scene, ring), FrameInks(scene, ring, moment.Seconds), DesignEntries, design);
    if (!palette) {
      PlaceRow(design, shift, &scene.Table[size_t(ring) * SpiralPhases], copy32, SpiralKernels.Reversed);
      continue;
    }
    SpiralKernels.Indices(design, DesignEntries, palette->Index15.data(), indices);
    PlaceRow(indices, shift, &scene.Table8[size_t(ring) * SpiralPhases], copy8, SpiralKernels.Reversed8);
  }
}

}  // namespace

void SpiralFillTable(SpiralScene& scene, const SpiralMoment& moment) {
  FillRings(scene, nullptr, moment, 0, scene.RingCount);
}

namespace {

// Each twinkling phase's twinkle at the moment.
void FrameTwinkles(SpiralScene& scene, double seconds) {
  if (scene.Sparks.empty()) return;
  for (int32_t t = 0; t < SpiralPhases; ++t) {
    double period = 2 + 2.0 * t / SpiralPhases;
    scene.Twinkles[size_t(t)] = 0.5 + 0.5 * std::cos(2 * Pi * seconds / period);
  }
}

// The spark's colour over the frame's colour at its pixel: the arms dim a
// spark as in the design, and each twinkles at its own pace.
uint32_t SparkOver(const SpiralScene& scene, const SpiralSpark& s, int32_t shift, uint32_t c) {
  int32_t ring = s.Cell / SpiralPhases, phase = s.Cell & PhaseMask;
  int32_t dim = 255 * 255 - scene.ArmCube[(phase - shift) & PhaseMask] * scene.RingReach[size_t(ring)];
  double twinkle = scene.Twinkles[size_t(s.Twinkle)];
  int32_t k = int32_t(s.Strength * twinkle * dim / (255 * 255));  // 0..256
  uint32_t out = 0;
  for (int32_t ch = 0; ch < 3; ++ch) {
    int32_t v = int32_t(c >> (8 * ch) & 255), core = scene.RingCore[ch][size_t(ring)];
    v += ((core - v) * k + 128) >> 8;
    out |= uint32_t(v) << (8 * ch);
  }
  return out;
}

// A frame's work: its table's rings in FillParts parts, then its bands. The
// crew hands the parts out in turn, so the rings are all taken before the
// first band is; a band waits until they are all filled.
template <class Pixel>
struct FrameJob {
  SpiralScene* Scene;
  const SpiralPalette* Palette;  // null for a 32-bit frame
  SpiralMoment Moment;
  uint8_t* Pixels;
  int32_t Stride;
  bool Changes;  // the still tiles keep their pixels
  int32_t FillParts;
  std::atomic<int32_t> Filled{0};
};

// A tile's pixels from its cells. Out of line, so that the 32-bit build
// keeps the row's table, cells and pixels in registers; and as scalar loads,
// which are faster than GCC's vector emulation of a gather (and than the
// processors' own gathers, as measured).
#if defined(__GNUC__) && !defined(__clang__)
#define SPIRAL_SCALAR __attribute__((noinline, optimize("no-tree-loop-vectorize")))
#else
#define SPIRAL_SCALAR __attribute__((noinline))
#endif
// The same for 32-bit pixels stored past the caches (SpiralScene::Streamed).
SPIRAL_SCALAR void DrawTileStreamed(const uint32_t* __restrict table, const uint16_t* __restrict cell, uint8_t* row,
                                    int32_t width, int32_t height, int32_t stride) {
  for (int32_t y = 0; y < height; ++y, row += stride, cell += width) {
    int* out = reinterpret_cast<int*>(row);
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
      const uint32_t a = table[cell[x]], b = table[cell[x + 1]], c = table[cell[x + 2]], e = table[cell[x + 3]];
      _mm_stream_si32(out + x, int(a));
      _mm_stream_si32(out + x + 1, int(b));
      _mm_stream_si32(out + x + 2, int(c));
      _mm_stream_si32(out + x + 3, int(e));
    }
    for (; x < width; ++x) _mm_stream_si32(out + x, int(table[cell[x]]));
  }
}

template <class Pixel>
SPIRAL_SCALAR void DrawTile(const Pixel* __restrict table, const uint16_t* __restrict cell, uint8_t* row,
                            int32_t width, int32_t height, int32_t stride) {
  for (int32_t y = 0; y < height; ++y, row += stride, cell += width) {
    Pixel* __restrict out = reinterpret_cast<Pixel*>(row);
    int32_t x = 0;
    for (; x + 4 <= width; x += 4) {
      const Pixel a = table[cell[x]], b = table[cell[x + 1]], c = table[cell[x + 2]], e = table[cell[x + 3]];
      out[x] = a;
      out[x + 1] = b;
      out[x + 2] = c;
      out[x + 3] = e;
    }
    for (; x < width; ++x) out[x] = table[cell[x]];
  }
}

// Asks for a line of each page that a band's tiles read and write: their
// cells and their rows of the frame. By the time a large 32-bit frame is
// drawn, the time since the last one has taken them out of the caches, and
// their pages' translations too, and a store that waits on a translation
// holds up the stores behind it. Asked for a band ahead, they come while the
// band before is drawn.
void PrefetchBand(const SpiralScene& scene, int32_t band, const uint8_t* pixels, int32_t stride) {
  if (band + 1 >= int32_t(scene.BandTiles.size())) return;
  const int32_t first = scene.BandTiles[size_t(band)], end = scene.BandTiles[size_t(band) + 1];
  const SpiralTile& tile = scene.Tiles[size_t(first)];
  const size_t cellsEnd = end < int32_t(scene.Tiles.size()) ? scene.Tiles[size_t(end)].FirstCell : scene.Cells.size();
  constexpr size_t Page = 4096;
  for (size_t c = tile.FirstCell; c < cellsEnd; c += Page / sizeof(uint16_t))
    _mm_prefetch(reinterpret_cast<const char*>(scene.Cells.data() + c), _MM_HINT_T0);
  const size_t rowBytes = size_t(scene.Width) * 4;
  for (int32_t y = tile.Y; y < tile.Y + tile.Height; ++y) {
    const char* row = reinterpret_cast<const char*>(pixels + ptrdiff_t(y) * stride);
    for (size_t at = 0; at < rowBytes; at += Page) _mm_prefetch(row + at, _MM_HINT_T0);
    _mm_prefetch(row + rowBytes - 1, _MM_HINT_T0);
  }
}

template <class Pixel>
void DrawBand(const FrameJob<Pixel>& job, int32_t band) {
  const SpiralScene& scene = *job.Scene;
  const Pixel* tables = job.Palette ? reinterpret_cast<const Pixel*>(scene.Table8.data())
                                    : reinterpret_cast<const Pixel*>(scene.Table.data());
  const int32_t last = scene.BandTiles[size_t(band) + 1];
  if (sizeof(Pixel) == 4 && scene.Streamed) PrefetchBand(scene, band + 1, job.Pixels, job.Stride);
  for (int32_t t = scene.BandTiles[size_t(band)]; t < last; ++t) {
    const SpiralTile& tile = scene.Tiles[size_t(t)];
    if (tile.Still && job.Changes) continue;
    uint8_t* at = job.Pixels + ptrdiff_t(tile.Y) * job.Stride + ptrdiff_t(tile.X) * ptrdiff_t(sizeof(Pixel));
    if (sizeof(Pixel) == 4 && scene.Streamed)
      DrawTileStreamed(reinterpret_cast<const uint32_t*>(tables) + size_t(tile.FirstRing) * SpiralPhases,
                       scene.Cells.data() + tile.FirstCell, at, tile.Width, tile.Height, job.Stride);
    else
      DrawTile(tables + size_t(tile.FirstRing) * SpiralPhases, scene.Cells.data() + tile.FirstCell, at, tile.Width,
               tile.Height, job.Stride);
  }
  // Streaming stores are weakly ordered: the band's are complete before the
  // sparks are stored over them, and before the band is reported done.
  if (sizeof(Pixel) == 4 && scene.Streamed) _mm_sfence();
  // The band's sparks over its pixels, which are still in the caches (the
  // still tiles' too: they twinkle).
  // They come in the order of their pixels: the row is counted on, not
  // divided out.
  const int32_t shift = job.Moment.Shift, first = scene.BandTiles[size_t(band)];
  int32_t y = scene.Tiles[size_t(first)].Y, rowStart = y * scene.Width;
  for (int32_t i = scene.BandSparks[size_t(band)]; i < scene.BandSparks[size_t(band) + 1]; ++i) {
    const SpiralSpark& s = scene.Sparks[size_t(i)];
    for (; s.Pixel >= rowStart + scene.Width; rowStart += scene.Width) ++y;
    Pixel* p = reinterpret_cast<Pixel*>(job.Pixels + ptrdiff_t(y) * job.Stride) + (s.Pixel - rowStart);
    if (!job.Palette) {
      *p = Pixel(SparkOver(scene, s, shift, scene.Table[size_t(s.Cell)]));
      continue;
    }
    const int32_t ring = s.Cell / SpiralPhases, d = (s.Cell - shift) & PhaseMask;
    const uint32_t c = scene.Designs[size_t(ring) * DesignEntries + size_t(d <= SpiralPhases / 2 ? d : SpiralPhases - d)];
    *p = Pixel(SpiralIndexOf(*job.Palette, SparkOver(scene, s, shift, c)));
  }
}

template <class Pixel>
void FramePart(void* context, int32_t part) {
  FrameJob<Pixel>& job = *static_cast<FrameJob<Pixel>*>(context);
  const int32_t rings = job.Scene->RingCount;
  if (part < job.FillParts) {
    FillRings(*job.Scene, job.Palette, job.Moment, int32_t(int64_t(rings) * part / job.FillParts),
              int32_t(int64_t(rings) * (part + 1) / job.FillParts));
    job.Filled.fetch_add(1, std::memory_order_release);
    return;
  }
  while (job.Filled.load(std::memory_order_acquire) < job.FillParts) std::this_thread::yield();
  DrawBand(job, part - job.FillParts);
}

// The frame's tables and its tiles, shared with the crew when there is one.
template <class Pixel>
void DrawFrame(SpiralScene& scene, const SpiralPalette* palette, const SpiralMoment& moment, uint8_t* pixels,
               int32_t stride, SpiralDraw draw) {
  const int32_t threads = SpiralWorkers(scene) + 1;
  FrameJob<Pixel> job{&scene, palette, moment, pixels, stride, draw == SpiralDraw::Changes,
                      threads == 1 ? 1 : 4 * threads};
  const int32_t parts = job.FillParts + int32_t(scene.BandTiles.size()) - 1;
  if (scene.Crew)
    scene.Crew->Run(parts, FramePart<Pixel>, &job);
  else
    for (int32_t part = 0; part < parts; ++part) FramePart<Pixel>(&job, part);
}

}  // namespace

void SpiralRender32(SpiralScene& scene, double seconds, uint8_t* pixels, int32_t stride, SpiralDraw draw) {
  FrameTwinkles(scene, seconds);
  DrawFrame<uint32_t>(scene, nullptr, SpiralMomentAt(seconds), pixels, stride, draw);
}

void SpiralRender8(SpiralScene& scene, const SpiralPalette& palette, double seconds, uint8_t* pixels,
                   int32_t stride, SpiralDraw draw) {
  // The table's colours become palette indices: one lookup per design
  // entry, none per pixel.
  FrameTwinkles(scene, seconds);
  DrawFrame<uint8_t>(scene, &palette, SpiralMomentAt(seconds), pixels, stride, draw);
}

void SpiralBuildPalette(SpiralPalette& palette, int32_t count) {
  // The colours of a small screen over a cycle of the inks' waves, at
  // moments spread over a turn of the arms, each pixel weighing one.
  constexpr int32_t Width = 192, Height = 108, Moments = 12;
  MonRun([&] {
    SpiralScene scene;
    SpiralSetUp(scene, Width, Height, SpiralScreenPlacement(Width, Height));
    std::vector<uint32_t> frame(size_t(Width) * Height);
    std::vector<QuantColour> colours;
    colours.reserve(frame.size() * Moments);
    for (int32_t m = 0; m < Moments; ++m) {
      double seconds = m == 0 ? 0 : FadeInSeconds + WaveSeconds * m / Moments + TurnSeconds * m / (3 * Moments);
      SpiralRender32(scene, seconds, reinterpret_cast<uint8_t*>(frame.data()), Width * 4);
      for (uint32_t c : frame) colours.push_back(QuantColour{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 1});
    }
    auto map = std::make_unique<QuantPaletteMap>();
    QuantPaletteOf(colours.data(), int32_t(colours.size()), count, *map);
    palette.Count = map->Count;
    std::memcpy(palette.Colours, map->Colours, sizeof palette.Colours);
    palette.Index15.assign(map->Index15, map->Index15 + 32768);
  });
}
