// The palette optimiser: counting, box splitting, palette building and the
// nearest-colour search. See Quantize.h and QuantizeInternal.h for the design.
#include "image/QuantizeInternal.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/Kernels.h"
#include "runtime/Errors.h"

namespace {

QuantArea* work = nullptr;

inline int32_t CellRed(int32_t cell) { return cell & 63; }
inline int32_t CellGreen(int32_t cell) { return cell >> 6 & 63; }
inline int32_t CellBlue(int32_t cell) { return cell >> 12; }


// f(cell) for each of n 24-bit pixels read at step bytes, in order. The
// cells are made a block at a time by the loop table's Cells, so that the
// counting loop does only the counting.
template <class F>
inline void ForEachCell(const uint8_t* p, int32_t n, int32_t step, F&& f) {
  constexpr int32_t Block = 256;
  alignas(32) int32_t cells[Block];
  for (int32_t i = 0; i < n; i += Block) {
    const int32_t count = n - i < Block ? n - i : Block;
    Kernels.Quant.Cells(p + size_t(i) * size_t(step), count, step, cells);
    for (int32_t k = 0; k < count; ++k) f(cells[k]);
  }
}

// Adds one pixel to a cell (the first turns -1 into 0), saturating at
// 2147483647, and lists the cell when it was empty.
inline void CountOne(QuantArea& a, int32_t cell, int32_t& listed) {
  int32_t& c = a.Histogram[cell];
  // Written every time, kept only for a new cell: in a small picture half
  // the pixels are new colours, and a branch on it would be a guess.
  a.Occupied[listed].Cell = cell;
  listed += c < 0;
  c += c != INT32_MAX;
}

// CountWords for a picture with more pixels than cells into a fresh
// histogram: 16-bit counters first, then one pass that adds them into the
// cells (saturating), lists the occupied cells in cell order and sets the
// counters back to 0, as they are between calls. A counter that would wrap
// to 0 goes to 1 and adds 65535 to its cell, so that a counter once touched
// is never 0: the pass skips four untouched ones at a time, and most are.
void CountWordsWide(QuantArea& a, const uint8_t* p, int32_t n, int32_t step) {
  uint16_t* const counts = a.Counts16;
  int32_t* const h = a.Histogram;
  auto one = [&](int32_t cell) {
    if (++counts[cell] == 0) counts[cell] = 1, h[cell] += 65535;
  };
  ForEachCell(p, n, step, one);
  int32_t listed = 0;
  for (int32_t c = 0; c < QuantCells; c += 4) {
    uint64_t four;
    std::memcpy(&four, counts + c, sizeof four);
    if (four == 0) continue;
    std::memset(counts + c, 0, sizeof four);
    for (int32_t k = 0; k < 4; ++k) {
      // -1 plus 65535 per wrap, then the counter.
      const int32_t v = h[c + k], more = int32_t(four >> (16 * k) & 0xFFFF);
      h[c + k] = v > INT32_MAX - more ? INT32_MAX : v + more;
      a.Occupied[listed].Cell = c + k;
      listed += more != 0;
    }
  }
  a.ColourCount = listed;
}

void CountWords(QuantArea& a, const uint8_t* p, int32_t n, int32_t step) {
  if (n > QuantCells && a.ColourCount == 0) {
    CountWordsWide(a, p, n, step);
    return;
  }
  int32_t listed = a.ColourCount;
  ForEachCell(p, n, step, [&](int32_t cell) { CountOne(a, cell, listed); });
  a.ColourCount = listed;
}

template <bool Green6>
void CountShorts(QuantArea& a, const uint8_t* p, int32_t n) {
  int32_t listed = a.ColourCount;
  for (int32_t i = 0; i < n; ++i, p += 2) {
    uint32_t w = p[0] | uint32_t(p[1]) << 8;
    int32_t r = Green6 ? w >> 11 : w >> 10 & 31;
    int32_t g = Green6 ? (w >> 5 & 63) : (w >> 5 & 31) * 2;
    CountOne(a, QuantCell(r * 2, g, (w & 31) * 2), listed);
  }
  a.ColourCount = listed;
}

// Adds each colour's weight to its cell, saturating at 2147483647 as
// CountOne does pixel by pixel, and lists the cells that were empty.
void CountColours(QuantArea& a, const QuantColour* colours, int32_t count) {
  int32_t listed = a.ColourCount;
  for (int32_t i = 0; i < count; ++i) {
    const QuantColour& c = colours[i];
    if (c.Weight == 0) continue;
    int32_t& v = a.Histogram[QuantCell(c.Red >> 2, c.Green >> 2, c.Blue >> 2)];
    if (v < 0) a.Occupied[listed++].Cell = int32_t(&v - a.Histogram);
    v = int32_t(std::min<int64_t>(int64_t(v) + c.Weight, INT32_MAX));
  }
  a.ColourCount = listed;
}

void CountIndexed(QuantArea& a, const ImageBuffer& source) {
  int64_t counts[256] = {};
  int32_t n = source.Width * source.Height;
  for (int32_t i = 0; i < n; ++i) ++counts[source.Pixels[i]];
  int32_t listed = a.ColourCount;
  for (int i = 0; i < 256; ++i) {
    if (counts[i] == 0) continue;
    const PaletteEntry& e = source.Palette[i];
    int32_t& c = a.Histogram[QuantCell(e.Red >> 2, e.Green >> 2, e.Blue >> 2)];
    if (c < 0) a.Occupied[listed++].Cell = int32_t(&c - a.Histogram);
    c = int32_t(std::min<int64_t>(int64_t(c) + counts[i], INT32_MAX));
  }
  a.ColourCount = listed;
}

using Entry = QuantArea::Entry;

// The run of the occupied list that belongs to a box.
struct Run {
  Entry* First;
  Entry* Last;
};
Entry* ListOf(int32_t box) { return work->BoxList[box] ? work->Spare : work->Occupied; }
Run RunOf(int32_t box) { return {ListOf(box) + work->BoxFirst[box], ListOf(box) + work->BoxLast[box]}; }
int32_t CellsOf(int32_t box) { return work->BoxLast[box] - work->BoxFirst[box]; }

inline int32_t LevelOf(int32_t cell, int axis) { return cell >> (6 * axis) & 63; }

// The slabs of a box (QuantizeInternal.h) in words of Word: 32 bits for a
// picture of fewer than 65536 pixels, 16 for the cells and 16 for the
// pixels; else 64, 24 and 40 (at most 2^31 pixels).
template <class Word>
using BoxSlabs = Word[3][64];
template <class Word>
constexpr int SlabShift = sizeof(Word) == 4 ? 16 : 40;
template <class Word>
constexpr Word SlabPixels = (Word(1) << SlabShift<Word>) - 1;
// The sum of the values v of a slab: its pixels less its cells.
template <class Word>
inline Word SlabValues(Word slab) {
  return (slab & SlabPixels<Word>) - (slab >> SlabShift<Word>);
}

// The moments of one axis of a box, level by level from its slabs: in
// Word, which holds them (a slab's pixels times 63^2 at most).
template <class Word>
struct AxisMoments {
  Word Pixels = 0, PixelLevels = 0, ValueLevels = 0, ValueSquares = 0;
  void Add(Word slab, Word level) {
    const Word w = slab & SlabPixels<Word>, v = w - (slab >> SlabShift<Word>);
    Pixels += w;
    PixelLevels += w * level;
    ValueLevels += v * level;
    ValueSquares += v * level * level;
  }
  void Into(QuantBoxTotals& t, int axis) const {
    t.Pixels = int64_t(Pixels);
    t.PixelLevels[axis] = int64_t(PixelLevels);
    t.ValueLevels[axis] = int64_t(ValueLevels);
    t.ValueSquares[axis] = int64_t(ValueSquares);
  }
};

// Sums a run whose cells lie within lo..hi on every axis into the slabs of
// every axis but Skip (3: of every axis), zeroed first within lo..hi, and
// sets those axes' moments (and the pixels) in t. No step reads a slab
// outside the bounds of its box.
template <class Word, int Skip>
void SumRun(Run r, const int32_t* lo, const int32_t* hi, BoxSlabs<Word>& s, QuantBoxTotals& t) {
  // Neighbouring entries often share a slab, and each addition to a slab
  // waits for the last: the entries alternate between two sets of slabs,
  // which are added together at the end, so that two chains overlap.
  Word odd[3][64];
  for (int ax = 0; ax < 3; ++ax)
    if (ax != Skip) {
      std::memset(&s[ax][lo[ax]], 0, sizeof(Word) * size_t(hi[ax] - lo[ax] + 1));
      std::memset(&odd[ax][lo[ax]], 0, sizeof(Word) * size_t(hi[ax] - lo[ax] + 1));
    }
  auto add = [](Word (*slab)[64], const Entry& e) {
    const Word packed = (Word(1) << SlabShift<Word>) + Word(uint32_t(e.Value) + 1u);
    for (int ax = 0; ax < 3; ++ax)
      if (ax != Skip) slab[ax][LevelOf(e.Cell, ax)] += packed;
  };
  for (; r.Last - r.First >= 2; r.First += 2) {
    add(s, r.First[0]);
    add(odd, r.First[1]);
  }
  if (r.First != r.Last) add(s, r.First[0]);
  for (int ax = 0; ax < 3; ++ax)
    if (ax != Skip) {
      AxisMoments<Word> m;
      for (int32_t l = lo[ax]; l <= hi[ax]; ++l) m.Add(s[ax][l] += odd[ax][l], Word(l));
      m.Into(t, ax);
    }
}

// sum / total rounded half to even, as nearbyint does in the default mode,
// without the call: the Windows runtime's nearbyint saves and restores the
// floating-point state each time. The quotient is not negative, so the
// conversion's truncation is its floor.
int32_t RoundedMean(int64_t sum, int64_t total) {
  if (total <= 0) return 0;
  const double mean = double(sum) / double(total);
  const int32_t whole = int32_t(mean);
  const double rest = mean - whole;
  return whole + (rest > 0.5 || (rest == 0.5 && (whole & 1)));
}

const int32_t axisWeight[3] = {900, 3481, 121};

// Calls f(cell) for every cell inside a box's bounds, empty or not.
template <class F>
void ForEachCellOfBox(const ColourBox& b, F&& f) {
  for (int32_t lb = b.BMin; lb <= b.BMax; ++lb)
    for (int32_t lg = b.GMin; lg <= b.GMax; ++lg) {
      int32_t row = QuantCell(0, lg, lb);
      for (int32_t lr = b.RMin; lr <= b.RMax; ++lr) f(row + lr);
    }
}

// The statistics of a box from its totals: spans, Diagonal, the mean, each
// axis's spread sum v (l - mean)^2 over the box's cells, which is
// ValueSquares - 2 mean ValueLevels + mean^2 x (the values), exact in 64
// bits, and its variance, the spread times the axis's weight; also notes the
// box's greatest variance of an axis that a cut can divide.
void BoxStatsFrom(int32_t box) {
  QuantArea& a = *work;
  ColourBox& b = a.Boxes[box];
  const QuantBoxTotals& t = a.Totals[box];
  b.RSpan = b.RMax - b.RMin;
  b.GSpan = b.GMax - b.GMin;
  b.BSpan = b.BMax - b.BMin;
  b.Diagonal = 900 * b.RSpan * b.RSpan + 3481 * b.GSpan * b.GSpan + 121 * b.BSpan * b.BSpan;
  int32_t* mean = a.Mean[box];
  int64_t* spread = a.Spread[box];
  QuantTraced([&] {
    for (int ax = 0; ax < 3; ++ax) mean[ax] = RoundedMean(t.PixelLevels[ax], t.Pixels);
  });
  QuantTraced([&] {
    const int64_t values = t.Pixels - CellsOf(box);
    for (int ax = 0; ax < 3; ++ax) {
      const int64_t m = mean[ax];
      spread[ax] = t.ValueSquares[ax] - 2 * m * t.ValueLevels[ax] + m * m * values;
    }
    b.RVariance = double(spread[0] * axisWeight[0]);
    b.GVariance = double(spread[1] * axisWeight[1]);
    b.BVariance = double(spread[2] * axisWeight[2]);
  });
  // Within a box the first axis of greatest variance wins, as in the pick.
  double best = -1.0;
  int32_t axis = -1;
  const double variance[3] = {b.RVariance, b.GVariance, b.BVariance};
  const int32_t span[3] = {b.RSpan, b.GSpan, b.BSpan};
  for (int32_t ax = 0; ax < 3; ++ax)
    if (b.Diagonal > 0 && span[ax] > 0 && variance[ax] > best) best = variance[ax], axis = ax;
  a.BestVariance[box] = best;
  a.BestAxis[box] = axis;
  const double* v = a.BestVariance;
  int32_t* tree = a.PickTree;
  for (int32_t node = (256 + box) / 2; node >= 1; node /= 2) {
    int32_t l = tree[2 * node], r = tree[2 * node + 1];
    tree[node] = v[r] > v[l] || (v[r] == v[l] && r < l) ? r : l;
  }
}

// QuantShrinkBox from the slabs: the first and last occupied slab of each
// axis are the faces pulled in; an empty box keeps its faces.
template <class Word>
void ShrinkFrom(int32_t box, const BoxSlabs<Word>& s) {
  ColourBox& b = work->Boxes[box];
  if (work->Totals[box].Pixels > 0) {
    int32_t* faces[3][2] = {{&b.RMin, &b.RMax}, {&b.GMin, &b.GMax}, {&b.BMin, &b.BMax}};
    // Every occupied cell lies within the current faces: scan inside them.
    for (int ax = 0; ax < 3; ++ax) {
      int32_t lo = *faces[ax][0], hi = *faces[ax][1];
      while (s[ax][lo] == 0) ++lo;
      while (s[ax][hi] == 0) --hi;
      *faces[ax][0] = lo;
      *faces[ax][1] = hi;
    }
  }
  BoxStatsFrom(box);
}

// The last level of the lower half of a cut on an axis whose slabs are
// slab, within lo..hi: the last level before the one at which the spread
// summed from lo exceeds half the axis's spread; lo when the first does.
template <class Word>
int32_t SplitOf(const Word* slab, int32_t lo, int32_t hi, int32_t mean, int64_t spread) {
  int32_t split = lo;
  Word acc = 0;
  for (int32_t l = lo; l < hi; ++l) {
    acc += SlabValues(slab[l]) * Word((l - mean) * (l - mean));
    if (2 * int64_t(acc) > spread) break;
    split = l;
  }
  return split;
}

// Cuts box b on Axis into b (the lower part) and a new box. The part with
// fewer cells is summed into the slabs of the new box's number, which no
// box uses yet; the other keeps the box's slabs, less the part's; on Axis
// every slab stays as it was, and the part's are copied. Each part's totals
// are those summed, or the box's less them.
template <class Word, int Axis>
void CutBox(int32_t b, BoxSlabs<Word>* slabs) {
  QuantArea& a = *work;
  const int32_t n = a.BoxCount++;
  ColourBox& low = a.Boxes[b];
  ColourBox& high = a.Boxes[n];
  const int32_t lo[3] = {low.RMin, low.GMin, low.BMin}, hi[3] = {low.RMax, low.GMax, low.BMax};
  BoxSlabs<Word>& whole = slabs[a.Slot[b]];
  const int32_t split = SplitOf(whole[Axis], lo[Axis], hi[Axis], a.Mean[b][Axis], a.Spread[b][Axis]);
  high = low;
  if (Axis == 0) low.RMax = split, high.RMin = split + 1;
  if (Axis == 1) low.GMax = split, high.GMin = split + 1;
  if (Axis == 2) low.BMax = split, high.BMin = split + 1;
  const int32_t to = 1 - a.BoxList[b];
  const int32_t lows = Kernels.Quant.Cut(ListOf(b) + a.BoxFirst[b], CellsOf(b), 63u << (6 * Axis),
                                         uint32_t(split + 1) << (6 * Axis), (to ? a.Spare : a.Occupied) + a.BoxFirst[b]);
  a.BoxList[b] = a.BoxList[n] = to;
  a.BoxFirst[n] = a.BoxFirst[b] + lows;
  a.BoxLast[n] = a.BoxLast[b];
  a.BoxLast[b] = a.BoxFirst[n];
  const int32_t part = CellsOf(b) > CellsOf(n) ? n : b, rest = part == n ? b : n;
  a.Slot[rest] = a.Slot[b];
  a.Slot[part] = n;
  BoxSlabs<Word>& own = slabs[n];
  const QuantBoxTotals box = a.Totals[b];
  QuantBoxTotals& t = a.Totals[part];
  SumRun<Word, Axis>(RunOf(part), lo, hi, own, t);
  AxisMoments<Word> m;
  for (int32_t l = part == b ? lo[Axis] : split + 1, last = part == b ? split : hi[Axis]; l <= last; ++l)
    m.Add(own[Axis][l] = whole[Axis][l], Word(l));
  t.PixelLevels[Axis] = int64_t(m.PixelLevels);
  t.ValueLevels[Axis] = int64_t(m.ValueLevels);
  t.ValueSquares[Axis] = int64_t(m.ValueSquares);
  for (int ax = 0; ax < 3; ++ax)
    if (ax != Axis)
      for (int32_t l = lo[ax]; l <= hi[ax]; ++l) whole[ax][l] -= own[ax][l];
  QuantBoxTotals& r = a.Totals[rest];
  r.Pixels = box.Pixels - t.Pixels;
  for (int ax = 0; ax < 3; ++ax) {
    r.PixelLevels[ax] = box.PixelLevels[ax] - t.PixelLevels[ax];
    r.ValueLevels[ax] = box.ValueLevels[ax] - t.ValueLevels[ax];
    r.ValueSquares[ax] = box.ValueSquares[ax] - t.ValueSquares[ax];
  }
  ShrinkFrom(b, slabs[a.Slot[b]]);
  ShrinkFrom(n, slabs[a.Slot[n]]);
}

template <class Word>
void CutBoxOn(int32_t b, int32_t axis, BoxSlabs<Word>* slabs) {
  if (axis == 0) CutBox<Word, 0>(b, slabs);
  if (axis == 1) CutBox<Word, 1>(b, slabs);
  if (axis == 2) CutBox<Word, 2>(b, slabs);
}

}  // namespace

QuantArea* QuantWorkArea() { return work; }

namespace {

// The large arrays of the work area, kept from call to call. Occupied and
// Spare lie one after the other (QuantArea: half a page apart).
struct QuantLargeArrays {
  int32_t Histogram[QuantCells];
  QuantArea::Entry Occupied[QuantCells + 256];
  QuantArea::Entry Spare[QuantCells];
  uint32_t NarrowSlabs[256][3][64];
  uint64_t WideSlabs[256][3][64];
  uint16_t Counts16[QuantCells];
  uint8_t CellIndex[QuantCells];
  uint32_t Nearest255[QuantCells / 32];
  bool Clear;  // every cell -1
};

QuantLargeArrays* large = nullptr;

// Sets to -1 every cell that counting and building can have written: the
// counted cells. Once boxes are cut, their runs hold each of them once;
// before, or when the runs do not cover the list as a cut leaves them, the
// two lists' first ColourCount entries, between which every counted cell
// lies whatever the cuts have done (an entry of Spare not yet written names
// some cell, which -1 does not harm). When a step wrote other cells, the
// next QuantPrepare clears the cube.
void ClearCounted(QuantArea& a) {
  if (a.CellsScattered || a.ColourCount < 0 || a.ColourCount > QuantCells) return;
  int32_t* h = a.Histogram;
  int64_t covered = 0;
  const bool runs = a.BoxCount > 0 && a.BoxCount <= 256 && [&] {
    for (int32_t b = 0; b < a.BoxCount; ++b) {
      if (a.BoxFirst[b] < 0 || a.BoxFirst[b] > a.BoxLast[b] || a.BoxLast[b] > a.ColourCount) return false;
      covered += a.BoxLast[b] - a.BoxFirst[b];
    }
    return covered == a.ColourCount;
  }();
  if (runs) {
    for (int32_t b = 0; b < a.BoxCount; ++b)
      for (Run r = RunOf(b); r.First != r.Last; ++r.First) h[r.First->Cell & (QuantCells - 1)] = -1;
  } else {
    for (int32_t i = 0; i < a.ColourCount; ++i) {
      h[a.Occupied[i].Cell & (QuantCells - 1)] = -1;
      h[a.Spare[i].Cell & (QuantCells - 1)] = -1;
    }
  }
  large->Clear = true;
}

}  // namespace

void QuantPrepare() {
  // A failing enclosing section may have freed the area behind the module
  // pointer, and its block may since serve another owner; the registry
  // tells.
  if (MemFind(work, ByBlockAndOwner) < 0) work = nullptr;
  if (!work) MemAlloc(work, int32_t(sizeof(QuantArea)), 0, "QuantArea");
  if (!work) return;
  if (!large) {
    large = static_cast<QuantLargeArrays*>(std::malloc(sizeof(QuantLargeArrays)));
    if (!large) {
      MemFree(work);
      MonSetError(ErrMemAllocFault);
      return;
    }
    large->Clear = false;
    std::memset(large->Counts16, 0, sizeof large->Counts16);
  }
  work->Histogram = large->Histogram;
  work->Occupied = large->Occupied;
  work->Spare = large->Spare;
  work->Counts16 = large->Counts16;
  work->CellIndex = large->CellIndex;
  work->Nearest255 = large->Nearest255;
  work->CellsScattered = False32;
  work->ColourCount = 0;
  work->BoxCount = 0;
  const bool clear = large->Clear;
  large->Clear = false;
  if (!clear)
    QuantTraced([] { std::fill(work->Histogram, work->Histogram + QuantCells, -1); });
}

void QuantRelease() {
  if (work && MemFind(work, ByBlockAndOwner) >= 0) {
    ClearCounted(*work);
    MemFree(work);
  }
  work = nullptr;
}

void QuantCount(const ImageBuffer& source) {
  if (!work || !ImgHasPixels(source)) return;
  QuantTraced([&] {
    int32_t n = source.Width * source.Height;
    switch (source.BitsPerPixel) {
      case 8:
        CountIndexed(*work, source);
        break;
      case 15:
        CountShorts<false>(*work, source.Pixels, n);
        break;
      case 16:
        CountShorts<true>(*work, source.Pixels, n);
        break;
      case 24:
        CountWords(*work, source.Pixels, n, 3);
        break;
      case 32:
        CountWords(*work, source.Pixels, n, 4);
        break;
    }
  });
}

void QuantBuild(int32_t n) {
  if (!work) return;
  QuantArea& a = *work;
  std::memset(a.QuantPalette, 255, sizeof a.QuantPalette);
  a.TargetColours = Clamp(n, 2, 256);
  for (int i = 0; i < 256; ++i) a.LevelTable[i] = i < 4 ? 0 : i;
  a.BoxCount = 0;
  a.Searcher = nullptr;
  a.VolumesFilled = False32;
  if (a.ColourCount > a.TargetColours) {
    QuantSplit();
    QuantBoxPalette();
  } else {
    QuantExactPalette();
  }
  QuantBlackFirst();
}

void QuantExactPalette() {
  QuantArea& a = *work;
  std::sort(a.Occupied, a.Occupied + a.ColourCount, [](const Entry& x, const Entry& y) { return x.Cell < y.Cell; });
  for (int32_t i = 0; i < a.ColourCount; ++i) {
    int32_t cell = a.Occupied[i].Cell;
    a.QuantPalette[i] = PaletteEntry{uint8_t(4 * CellBlue(cell)), uint8_t(4 * CellGreen(cell)),
                                     uint8_t(4 * CellRed(cell))};
    a.Histogram[cell] = i;
  }
}

void QuantSplit() {
  QuantArea& a = *work;
  a.BoxCount = 1;
  a.Boxes[0] = ColourBox{0, 63, 0, 63, 0, 63, 0, 0, 0, 0, 0, 0, 0};
  a.BoxFirst[0] = 0;
  a.BoxLast[0] = a.ColourCount;
  a.BoxList[0] = 0;
  // Boxes not yet made take part in the tournament with no variance.
  std::fill(a.BestVariance, a.BestVariance + 256, -1.0);
  for (int32_t i = 0; i < 256; ++i) a.PickTree[256 + i] = i;
  for (int32_t node = 255; node >= 1; --node) a.PickTree[node] = a.PickTree[2 * node];
  int64_t pixels = 0;
  for (int32_t i = 0; i < a.ColourCount; ++i) {
    const int32_t v = a.Histogram[a.Occupied[i].Cell];
    a.Occupied[i].Value = v;
    pixels += int64_t(v) + 1;
  }
  a.NarrowSlabs = pixels < 65536 ? True32 : False32;
  QuantShrinkBox(0);
  while (a.BoxCount < a.TargetColours) {
    int32_t b, axis;
    if (!QuantPickBox(b, axis)) return;
    if (a.NarrowSlabs)
      CutBoxOn(b, axis, large->NarrowSlabs);
    else
      CutBoxOn(b, axis, large->WideSlabs);
  }
}

bool QuantPickBox(int32_t& box, int32_t& axis) {
  // The first (box, axis) pair of greatest variance in the order boxes, then
  // red, green, blue is the first box of greatest noted variance with its
  // noted axis (an axis that cannot be cut is never noted): the winner of
  // the tournament, when its variance is above -1.
  const QuantArea& a = *work;
  int32_t found = a.PickTree[1];
  if (!(a.BestVariance[found] > -1.0)) return false;
  box = found;
  axis = a.BestAxis[found];
  return true;
}

void QuantShrinkBox(int32_t box) {
  QuantArea& a = *work;
  a.Slot[box] = box;
  const ColourBox& b = a.Boxes[box];
  const int32_t lo[3] = {b.RMin, b.GMin, b.BMin}, hi[3] = {b.RMax, b.GMax, b.BMax};
  if (a.NarrowSlabs) {
    SumRun<uint32_t, 3>(RunOf(box), lo, hi, large->NarrowSlabs[box], a.Totals[box]);
    ShrinkFrom(box, large->NarrowSlabs[box]);
  } else {
    SumRun<uint64_t, 3>(RunOf(box), lo, hi, large->WideSlabs[box], a.Totals[box]);
    ShrinkFrom(box, large->WideSlabs[box]);
  }
}

void QuantBoxMean(int32_t box, QuantMeanMode mode, int32_t& r, int32_t& g, int32_t& b) {
  const QuantBoxTotals& t = work->Totals[box];
  int32_t m[3] = {0, 0, 0};
  if (t.Pixels > 0) {
    for (int ax = 0; ax < 3; ++ax)
      m[ax] = mode == QuantMeanStats ? RoundedMean(t.PixelLevels[ax], t.Pixels)
                                     : work->LevelTable[int32_t(4.0 * double(t.PixelLevels[ax]) / double(t.Pixels))];
  }
  r = m[0], g = m[1], b = m[2];
}

void QuantFillBox(int32_t box, int32_t index) {
  work->CellsScattered = True32;
  int32_t* h = work->Histogram;
  ForEachCellOfBox(work->Boxes[box], [&](int32_t cell) { h[cell] = index; });
}

void QuantBoxPalette() {
  QuantArea& a = *work;
  a.VolumesFilled = False32;
  for (int32_t i = 0; i < a.BoxCount; ++i) {
    int32_t r, g, b;
    QuantBoxMean(i, QuantMeanPalette, r, g, b);
    a.QuantPalette[i] = PaletteEntry{uint8_t(b), uint8_t(g), uint8_t(r)};
    a.BoxIndex[i] = i;
    for (Run run = RunOf(i); run.First != run.Last; ++run.First) a.Histogram[run.First->Cell] = i;
  }
}

void QuantFillVolumes() {
  QuantArea& a = *work;
  if (a.VolumesFilled) return;
  for (int32_t i = 0; i < a.BoxCount; ++i) QuantFillBox(i, a.BoxIndex[i]);
  a.VolumesFilled = True32;
}

void QuantBlackFirst() {
  QuantArea& a = *work;
  int32_t k = QuantNearest(0, 0, 0, a.TargetColours, a.QuantPalette);
  if (k == 0) return;
  std::swap(a.QuantPalette[0], a.QuantPalette[k]);
  // Only the counted cells (or, once filled, the boxes) hold indices yet;
  // every other cell is -1.
  auto swap = [&](int32_t& c) { c = c == 0 ? k : c == k ? 0 : c; };
  auto swapCell = [&](int32_t cell) { swap(a.Histogram[cell]); };
  if (a.BoxCount == 0) {
    for (int32_t i = 0; i < a.ColourCount; ++i) swapCell(a.Occupied[i].Cell);
    return;
  }
  for (int32_t i = 0; i < a.BoxCount; ++i) {
    swap(a.BoxIndex[i]);
    if (a.VolumesFilled)
      ForEachCellOfBox(a.Boxes[i], swapCell);
    else
      for (Run run = RunOf(i); run.First != run.Last; ++run.First) swapCell(run.First->Cell);
  }
}

void QuantCountedIndices(uint8_t* bytes) {
  QuantArea& a = *work;
  if (a.BoxCount == 0) {
    for (int32_t i = 0; i < a.ColourCount; ++i) bytes[a.Occupied[i].Cell] = uint8_t(a.Histogram[a.Occupied[i].Cell]);
    return;
  }
  // A box's counted cells hold its index.
  for (int32_t i = 0; i < a.BoxCount; ++i) {
    const uint8_t k = uint8_t(a.BoxIndex[i]);
    for (Run run = RunOf(i); run.First != run.Last; ++run.First) bytes[run.First->Cell] = k;
  }
}

int32_t QuantNearest(int32_t red, int32_t green, int32_t blue, int32_t count, const PaletteEntry* palette) {
  int32_t best = INT32_MAX, result = 0;
  for (int32_t i = 0; i < count; ++i) {
    int32_t dg = palette[i].Green - green;
    int32_t g2 = 3481 * dg * dg;
    if (g2 > best) continue;
    int32_t dr = palette[i].Red - red, db = palette[i].Blue - blue;
    int32_t d = 900 * dr * dr + g2 + 121 * db * db;
    if (d < best) {
      best = d;
      result = i;
    }
  }
  return result;
}

void QuantSortPalette(const PaletteEntry* palette, int32_t count, QuantArea::SortedEntry* sorted) {
  for (int32_t i = 0; i < count; ++i) sorted[i] = {palette[i].Green, palette[i].Red, palette[i].Blue, i};
  std::sort(sorted, sorted + count, [](const QuantArea::SortedEntry& x, const QuantArea::SortedEntry& y) {
    return x.Green != y.Green ? x.Green < y.Green : x.Index < y.Index;
  });
}

int32_t QuantNearestSorted(int32_t red, int32_t green, int32_t blue, int32_t count,
                           const QuantArea::SortedEntry* sorted) {
  int32_t best = INT32_MAX, result = 0;
  // An entry whose green term alone exceeds best cannot win; one whose green
  // term equals it can still tie, and a tie goes to the lower index.
  auto consider = [&](const QuantArea::SortedEntry& e, int32_t g2) {
    int32_t dr = e.Red - red, db = e.Blue - blue;
    int32_t d = 900 * dr * dr + g2 + 121 * db * db;
    if (d < best || (d == best && e.Index < result)) best = d, result = e.Index;
  };
  int32_t start = int32_t(std::lower_bound(sorted, sorted + count, green,
                                           [](const QuantArea::SortedEntry& e, int32_t g) { return e.Green < g; }) -
                          sorted);
  for (int32_t i = start; i < count; ++i) {
    int32_t dg = sorted[i].Green - green, g2 = 3481 * dg * dg;
    if (g2 > best) break;
    consider(sorted[i], g2);
  }
  for (int32_t i = start - 1; i >= 0; --i) {
    int32_t dg = sorted[i].Green - green, g2 = 3481 * dg * dg;
    if (g2 > best) break;
    consider(sorted[i], g2);
  }
  return result;
}

void QuantGreenPlanesOf(const QuantArea::SortedEntry* sorted, int32_t count, QuantGreenPlanes& planes) {
  for (int32_t p = 0; p < 256 + 2 * QuantPad; ++p) {
    const int32_t i = p - QuantPad;
    const bool entry = i >= 0 && i < count;
    const QuantArea::SortedEntry e = entry ? sorted[i] : QuantArea::SortedEntry{0, 0, 0, INT32_MAX};
    planes.Square[p] = entry ? 900 * e.Red * e.Red + 3481 * e.Green * e.Green + 121 * e.Blue * e.Blue : 1 << 30;
    planes.RedGreen[p] = QuantHalves(30 * e.Red, 59 * e.Green), planes.Blue[p] = 11 * e.Blue;
    planes.Index[p] = e.Index, planes.Level[p] = e.Green;
  }
  int32_t p = 0;
  for (int32_t l = 0; l < 64; ++l) {
    while (p < count && sorted[p].Green < 4 * l) ++p;
    planes.Start[l] = p;
  }
}

void QuantCellsPlain(const uint8_t* p, int32_t count, int32_t step, int32_t* cells) {
  if (count <= 0) return;
  // Reading a 24-bit pixel as a word touches one byte past it: the last
  // pixel is read byte by byte.
  for (int32_t i = 0; i + 1 < count; ++i, p += step) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    cells[i] = QuantCellOfWord(w);
  }
  cells[count - 1] = QuantCellOfWord(p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16);
}

int32_t QuantCutPlain(const QuantEntry* from, int32_t count, uint32_t mask, uint32_t above, QuantEntry* out) {
  // Every entry is written to both ends and the ends advance by the test,
  // so no branch depends on the colours. After i entries, lows of them at
  // the front, the back's next place is count - i + lows - 1: both places
  // are lows on from a base, and one count is all that the test updates. A
  // masked level at most the split is below above: an unsigned comparison,
  // whose carry is added.
  QuantEntry* back = out + count;
  intptr_t lows = 0;
#pragma GCC unroll 4
  for (const QuantEntry* const last = from + count; from != last; ++from, --back) {
    const QuantEntry e = *from;
    out[lows] = e;
    back[lows - 1] = e;
    lows += (uint32_t(e.Cell) & mask) < above;
  }
  return int32_t(lows);
}

void QuantSearchPlain(QuantArea& a) { QuantSortPalette(a.QuantPalette, a.TargetColours, a.ByGreen); }

void QuantSearchGreenPlanes(QuantArea& a) {
  QuantSortPalette(a.QuantPalette, a.TargetColours, a.ByGreen);
  QuantGreenPlanesOf(a.ByGreen, a.TargetColours, a.GreenPlanes);
}

int32_t QuantNearestPlain(int32_t red, int32_t green, int32_t blue, const QuantArea& a) {
  return QuantNearestSorted(red, green, blue, a.TargetColours, a.ByGreen);
}

int32_t QuantLookupSlow(int32_t cell) {
  QuantArea& a = *work;
  a.CellsScattered = True32;
  if (!a.VolumesFilled)
    for (int32_t i = 0; i < a.BoxCount; ++i)
      if (QuantBoxHolds(a.Boxes[i], cell)) return a.Histogram[cell] = a.BoxIndex[i];
  return QuantLookupOutside(cell);
}

int32_t QuantNearestOfCell(int32_t cell) {
  QuantArea& a = *work;
  if (a.Searcher != Kernels.Quant.Nearest) {
    Kernels.Quant.Prepare(a);
    a.Searcher = Kernels.Quant.Nearest;
  }
  return Kernels.Quant.Nearest(4 * CellRed(cell), 4 * CellGreen(cell), 4 * CellBlue(cell), a);
}

int32_t QuantLookupOutside(int32_t cell) {
  QuantArea& a = *work;
  a.CellsScattered = True32;
  return a.Histogram[cell] = QuantNearestOfCell(cell);
}

void QuantPaletteOf(const QuantColour* colours, int32_t count, int32_t n, QuantPaletteMap& out) {
  MonRun([&] {
    if (count < 0 || (count > 0 && !colours)) MonSetError(ErrMemInvalidRequest);
    QuantPrepare();
    QuantArea& a = *work;
    CountColours(a, colours, count);
    QuantBuild(n);
    out.Count = a.TargetColours;
    std::memcpy(out.Colours, a.QuantPalette, sizeof out.Colours);
    Kernels.Quant.Prepare(a);
    a.Searcher = Kernels.Quant.Nearest;
    for (int32_t c = 0; c < 32768; ++c)
      out.Index15[c] = uint8_t(Kernels.Quant.Nearest((c >> 10) * 8 + 4, (c >> 5 & 31) * 8 + 4, (c & 31) * 8 + 4, a));
    QuantRelease();
  });
}
