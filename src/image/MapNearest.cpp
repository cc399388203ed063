// The nearest mapping: every pixel to the index of its cell.
#include <cstring>

#include "image/Kernels.h"
#include "image/Mapping.h"
#include "image/MappingInternal.h"

namespace {

// The nearest mapping of count pixels, each read as a word but the last,
// which is read byte by byte so that no load passes the end of the block.
// Every pixel's cell was counted, so Cells holds its index already. The
// pointers are locals: the bytes written must not be taken to change them.
template <int Step, class Cells>
void MapNearestWords(const uint8_t* src, int32_t count, uint8_t* out, Cells cells) {
  const uint8_t* p = src;
  uint8_t* o = out;
  for (uint8_t* const last = out + count - 1; o != last; ++o, p += Step) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    *o = uint8_t(cells[QuantCellOfWord(w)]);
  }
  *o = uint8_t(cells[CellOf(p)]);
}

}  // namespace

void MapNearestPlain(const uint8_t* src, int32_t count, int32_t step, uint8_t* out, const uint8_t* bytes,
                     const int32_t* cells) {
  if (count <= 0) return;
  auto map = [&](auto look) {
    if (step == 3)
      MapNearestWords<3>(src, count, out, look);
    else
      MapNearestWords<4>(src, count, out, look);
  };
  if (bytes)
    map(bytes);
  else
    map(cells);
}

void QuantMapNearest(const uint8_t* src, int32_t count, int32_t step, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    // For a picture with more pixels than cells, through the byte copy of
    // the cells, which stays in cache where the cells do not. Only the
    // counted cells are copied: no pixel meets another.
    const bool bytes = count > QuantCells;
    if (bytes) QuantCountedIndices(a.CellIndex);
    Kernels.Maps.Nearest(src, count, step, target.Pixels, bytes ? a.CellIndex : nullptr, a.Histogram);
  });
}
