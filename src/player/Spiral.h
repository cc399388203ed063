// Spiral: the player's animation of the golden spiral, drawn in software at
// the screen's own resolution, a whole frame at a time.
//
// Design. Turning a logarithmic spiral about its centre only shifts its arms'
// phase, so every pixel is set up once with its ring (its distance from the
// spiral's centre) and its arms' phase, packed as a cell of a table of rings
// x phases. A frame is then one table lookup per pixel: the frame's turn and
// colours are put into the table (a few hundred thousand entries), not into
// the two million pixels. A table entry is the design's colour made of two
// parts, a fixed one and the amber and gold inks by their weights, so that
// the inks can cycle from frame to frame at the cost of two blends per entry;
// the design depends on the phase through its cosine only, so a ring keeps
// half a turn of design entries and its other half mirrors them. The sparks
// are a short list of pixels blended over the frame afterwards.
//
// How a frame is drawn fast. The pixels are cut into tiles, a band of rows
// at a time, each tile as wide as keeps its cells within 64 rings: a pixel's
// cell is then 16 bits from the tile's first ring, and the table entries a
// tile reads are few enough to stay in the processor's first cache. The
// table's rows are made with the vector loops of SpiralLoops.h. A large
// frame's table and bands are shared with worker threads (its parts are
// taken in turn), which draw the same bytes as one thread does.
//
// What a frame shows of the built-in picture's design (assets/SpiralPicture):
// the arms, their crests, the ripples, the core's glow, the shading towards
// the rim and the sparks, at the same place and scale for the same size; the
// counter-turning filaments and the ground's angular shading are left out
// (they do not turn with the arms). At time 0 the frame is the generator's
// picture with those two layers off, within the rounding of rings and
// phases. Time goes on: the arms turn, the inks of the arms cycle in waves
// running outwards, and the sparks twinkle.
//
// Errors: SpiralSetUp is monitored; sizes outside 1..16384 a side are
// "Invalid memory request." (5, 5). The renderers take a scene that has been
// set up and targets of its size, and cannot fail.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "assets/SpiralPicture.h"
#include "player/SpiralLoops.h"

// Arms' phases per turn of the phase: SpiralPhases (SpiralLoops.h).
constexpr int32_t SpiralMaxSide = 16384;

// Design seconds per frame: at the default frame delay the animation runs in
// real time, and a frame always moves it on by the same step.
constexpr double SpiralSecondsPerFrame = 0.017;

struct SpiralSpark {
  int32_t Pixel;      // offset in the frame
  int32_t Cell;       // its cell (ring * SpiralPhases + phase)
  int32_t Strength;   // the spark's own strength, 1.0 = 256
  int32_t Twinkle;    // the phase of its twinkling, 0..SpiralPhases - 1
};

// A tile of the frame: its rectangle, the first ring its cells count from,
// where its cells start (its rows one after another), and whether all its
// pixels lie in still rings.
struct SpiralTile {
  int32_t X, Y, Width, Height;
  int32_t FirstRing;
  uint32_t FirstCell;
  bool Still;
};
// A tile's cells lie within this many rings.
constexpr int32_t SpiralTileRings = 64;

class SpiralCrew;

struct SpiralScene {
  int32_t Width = 0, Height = 0;
  SpiralPlacement Place{};
  int32_t RingCount = 0;
  std::vector<double> RingRadius;       // each ring's radius in half-heights
  std::vector<double> RingLog;          // and its logarithm
  // Per pixel, tile by tile: (ring - the tile's first ring) * SpiralPhases +
  // phase.
  std::vector<uint16_t> Cells;
  std::vector<SpiralTile> Tiles;
  std::vector<int32_t> BandTiles;       // the first tile of each band, and the end
  std::vector<int32_t> BandSparks;      // the first spark of each band, and the end
  // Per ring a design row (SpiralLoops.h): design phases 0..SpiralPhases / 2.
  // A colour is a blend, so the three parts add up to at most 255.
  std::vector<uint16_t> Rows;
  // Per ring, 1 where it shows the same colour in every frame (the design
  // is the same at every phase and takes no ink: the core's middle, the
  // corners beyond the arms); its colours are put in the tables once, at
  // the set-up.
  std::vector<uint8_t> RingStill;
  std::vector<uint8_t> RingReach;       // per ring, 1.0 = 255: how far the arms reach
  std::vector<uint8_t> RingCore[3];     // per ring: the core ink shaded, blue, green, red
  std::vector<SpiralSpark> Sparks;      // in the order of their pixels
  uint8_t ArmCube[SpiralPhases];        // the arms' brightness cubed per phase, 1.0 = 255
  // The table of the frame being drawn: per cell the colour as 0x00RRGGBB.
  std::vector<uint32_t> Table;
  std::vector<uint8_t> Table8;          // the same as palette indices
  std::vector<uint32_t> Designs;        // with a palette: per ring its design entries' colours
  std::vector<uint8_t> RingInks;        // per ring of the frame: amber, then gold, blue green red
  std::vector<double> Twinkles;         // per twinkling phase, the frame's twinkle
  // Whether a 32-bit frame's pixels are stored past the caches (streaming
  // stores): set for frames of SpiralStreamPixels or more, which the
  // transfer to the screen evicts from the caches anyway; a write that
  // first reads its line back from memory would double their traffic.
  bool Streamed = false;
  // The threads that share a large frame; none on one core or for a small
  // frame.
  std::shared_ptr<SpiralCrew> Crew;
};

// Monitored. Sets the scene up for a frame of width x height pixels with the
// design placed as place says. The scene's vectors are its own. A frame of
// SpiralCrewPixels pixels or more is shared with one thread fewer than the
// processor's cores (at most three); when they cannot be started, the frame
// is drawn on one thread. A smaller frame takes one thread a few
// milliseconds, and sharing it costs more processor time than it saves.
void SpiralSetUp(SpiralScene& scene, int32_t width, int32_t height, const SpiralPlacement& place);
constexpr int32_t SpiralCrewPixels = 2560 * 1440;
constexpr int32_t SpiralStreamPixels = 1920 * 1080;
// The number of threads that draw the scene's frames besides the caller;
// SpiralSetWorkers changes it (0: the caller alone), for the tests that
// compare the two and for a program that wants its frames on one core.
int32_t SpiralWorkers(const SpiralScene& scene);
void SpiralSetWorkers(SpiralScene& scene, int32_t workers);
// The placement of the picture generator for a screen of width x height.
SpiralPlacement SpiralScreenPlacement(int32_t width, int32_t height);

// The animation's state at design time seconds: how far the arms have turned
// (in phases, 0..SpiralPhases - 1) and the inks of the arms per ring.
struct SpiralMoment {
  int32_t Shift;
  double Seconds;
};
SpiralMoment SpiralMomentAt(double seconds);
// The amber and gold inks of ring at design time seconds.
void SpiralRingInks(const SpiralScene& scene, int32_t ring, double seconds, SpiralColour& amber,
                    SpiralColour& gold);

// Fills scene.Table for the moment.
void SpiralFillTable(SpiralScene& scene, const SpiralMoment& moment);
// What a renderer draws: every pixel, or only what can change from frame to
// frame (the still tiles keep their pixels; their sparks are drawn anew).
// Changes is for a target that holds the last frame this scene drew into it,
// at the same depth (and palette), untouched since.
enum class SpiralDraw { Whole, Changes };
// The frame at design time seconds as 32-bit pixels 0x00RRGGBB (blue, green,
// red, 0 in memory), rows top-down, stride bytes apart.
void SpiralRender32(SpiralScene& scene, double seconds, uint8_t* pixels, int32_t stride,
                    SpiralDraw draw = SpiralDraw::Whole);

// A fixed palette for a 256-colour display and the way from colours to it.
struct SpiralPalette {
  int32_t Count = 0;
  PaletteEntry Colours[256]{};
  // Palette index of each 15-bit colour (red << 10 | green << 5 | blue).
  std::vector<uint8_t> Index15;
};
// Monitored. Builds a palette of count colours (2..256) for the colours the
// animation shows over its cycles, with the library's optimiser, sampling the
// design at a small size; and the nearest-entry map.
void SpiralBuildPalette(SpiralPalette& palette, int32_t count);
// The frame at design time seconds as 8-bit indices into palette.
void SpiralRender8(SpiralScene& scene, const SpiralPalette& palette, double seconds, uint8_t* pixels,
                   int32_t stride, SpiralDraw draw = SpiralDraw::Whole);
// The palette index of a colour 0x00RRGGBB.
inline uint8_t SpiralIndexOf(const SpiralPalette& palette, uint32_t rgb) {
  return palette.Index15[(rgb >> 9 & 0x7C00) | (rgb >> 6 & 0x3E0) | (rgb >> 3 & 0x1F)];
}
