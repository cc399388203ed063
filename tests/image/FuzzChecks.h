// The checks that each fuzz target (fuzz/*Fuzz.cpp) makes on one input,
// shared with the unit suites, which replay the inputs that once broke the
// code (tests/image/regressions/<target>/) in both builds. Each returns
// false where the input breaks a promise of the library; a crash or a
// sanitizer report is a failure too. The input layouts are those of the
// fuzz targets' comments.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/HeapSeam.h"
#ifdef SPIRALUX_ADDRESS_SANITIZER
#include <sanitizer/asan_interface.h>
#endif

#include "reference/Scale.h"
#include "image/Kernels.h"
#include "image/ImageBuffer.h"
#include "image/Load.h"
#include "image/Mapping.h"
#include "image/Pack.h"
#include "image/Scale.h"
#include "runtime/Basic.h"
#include "runtime/Errors.h"

namespace fuzz {

// ImgLoadFromMemory into a fresh record, then into the record holding the
// first result: it loads or fails with the loader's errors, and releases all.
inline bool LoadHolds(const uint8_t* data, size_t size) {
  if (size > INT32_MAX) return true;
  const int32_t blocks = MemCount();
  bool holds = true;
  ImageBuffer image;
  ImgInit(image);
  for (int32_t pass = 0; pass < 2; ++pass) {
    try {
      ImgLoadFromMemory(data, int32_t(size), image);
      if (image.Width < 1 || image.Height < 1 || !ImgHasPixels(image)) holds = false;
    } catch (const EMon&) {
      ErrorPair e = LastError();
      if (!(e == ErrImgHeaderInvalid || e == ErrImgDataCorrupted)) holds = false;
    }
  }
  ImgFree(image);
  return holds && MemCount() == blocks;
}

// PackPixels then UnpackPixels, alone and as the next frame of a previous
// picture: the same bytes come back, in a stream at most 10 bits a byte.
inline bool PackHolds(const uint8_t* data, size_t size) {
  if (size < 3) return true;
  int32_t width = data[0] + 1, bpp = data[1] % 4 + 1;
  int32_t line = width * bpp, height = int32_t((size - 2) / size_t(line));
  if (height < 1) return true;
  const int32_t blocks = MemCount();
  const uint8_t* pixels = data + 2;
  size_t bytes = size_t(line) * height;
  // A previous picture equal to the pixels in stretches, different between.
  std::vector<uint8_t> previous(pixels, pixels + bytes);
  for (size_t i = 0; i < bytes; ++i)
    if ((i / 37) % 3 == 0) previous[i] = uint8_t(previous[i] * 7 + 1);
  for (const uint8_t* prev : {static_cast<const uint8_t*>(nullptr), static_cast<const uint8_t*>(previous.data())}) {
    uint8_t* stream = nullptr;
    int32_t streamBytes = 0;
    PackPixels(pixels, prev, width, bpp, height, stream, streamBytes);
    std::vector<uint8_t> target = prev ? previous : std::vector<uint8_t>(bytes, 0xA5);
    std::vector<uint8_t> packed(stream, stream + streamBytes);  // exactly its size, for ASan
    MemFree(stream);
    UnpackPixels(packed.data(), int32_t(packed.size()), target.data(), width, bpp, height);
    if (std::memcmp(target.data(), pixels, bytes) != 0) return false;
    if (int64_t(packed.size()) > int64_t(bytes) * 10 / 8 + 3) return false;
  }
  return MemCount() == blocks;
}

namespace detail {

struct Quantized {
  std::vector<uint8_t> Indices, Palette, Source;
};

inline Quantized Quantize(const ImageBuffer& picture, int32_t method, CpuTier tier) {
  KernelsForTests(tier);
  ImageBuffer source, target;
  ImgInit(source);
  ImgInit(target);
  ImgCopy(picture, source);
  ImgQuantize(source, target, method);
  KernelsForTests(CpuStartTier());
  Quantized r;
  if (target.BitsPerPixel == 8 && target.Width == picture.Width && target.Height == picture.Height) {
    const uint8_t* palette = &target.Palette[0].Blue;
    r = {{target.Pixels, target.Pixels + target.Width * target.Height},
         {palette, palette + sizeof target.Palette},
         {source.Pixels, source.Pixels + source.Size}};
  }
  ImgFree(source);
  ImgFree(target);
  return r;
}

inline int32_t ScaleSize(const uint8_t* p) { return int32_t(p[0] | p[1] << 8) % (ScaleMostSize + 2); }

}  // namespace detail

// ImgQuantize with the plain loops and with each tier's loops that the
// processor has: the same indices, palette and source afterwards; the target has the source's size;
// the source is unchanged except by diffusion at 24 and 32 bits.
inline bool QuantizeHolds(const uint8_t* data, size_t size) {
  if (size < 4) return true;
  const int32_t w = 1 + data[0], h = 1 + data[1];
  const int32_t depths[] = {8, 15, 16, 24, 32};
  const int32_t bits = depths[data[2] % 5], method = data[3] % 4;  // 3 acts as 0
  const int32_t blocks = MemCount();
  ImageBuffer picture;
  ImgInit(picture);
  ImgAlloc(picture, w, h, bits);
  // The input's bytes, then smooth colours with a little noise from it, so
  // that both few and many colours are reached.
  uint32_t seed = 2166136261u;
  for (size_t i = 4; i < size; ++i) seed = (seed ^ data[i]) * 16777619u;
  for (int32_t i = 0; i < picture.Size; ++i) {
    seed = seed * 1103515245u + 12345u;
    picture.Pixels[i] = i + 4 < int32_t(size) ? data[i + 4] : uint8_t(i * 7 / (w * picture.BytesPerPixel) + (seed >> 28));
  }
  for (int32_t i = 0; i < 256; ++i) picture.Palette[i] = PaletteEntry{uint8_t(i), uint8_t(255 - i), uint8_t(i * 3)};

  const detail::Quantized plain = detail::Quantize(picture, method, CpuTier::Plain);
  bool holds = !plain.Indices.empty();
  for (int32_t t = 1; holds && t <= int32_t(CpuTierOf(CpuHas())); ++t) {
    const detail::Quantized vector = detail::Quantize(picture, method, CpuTier(t));
    holds = vector.Indices == plain.Indices && vector.Palette == plain.Palette && vector.Source == plain.Source;
  }
  const bool diffused = method == QuantMethodDiffuse && w >= 4 && h >= 4 && (bits == 24 || bits == 32);
  if (holds && !diffused && std::memcmp(plain.Source.data(), picture.Pixels, size_t(picture.Size)) != 0)
    holds = false;
  ImgFree(picture);
  return holds && MemCount() == blocks;
}

// ImgScale on sizes within and just outside its limits: the output's size
// and depth, "Out of range." outside them, nothing leaked, and for small
// 24- and 32-bit pictures the exact bytes of the plain loops.
inline bool ScaleHolds(const uint8_t* data, size_t size) {
  if (size < 9) return true;
  int32_t w = detail::ScaleSize(data), h = detail::ScaleSize(data + 2), nw = detail::ScaleSize(data + 4),
          nh = detail::ScaleSize(data + 6);
  const int32_t depths[] = {8, 15, 16, 24, 32};
  int32_t bits = depths[data[8] % 5];
  // Keep each run short: the pixels in and out stay below a megabyte.
  if (w < 1 || h < 1 || int64_t(w) * h > (1 << 16) || int64_t(nw) * nh > (1 << 18)) return true;

  const int32_t blocks = MemCount();
  bool holds = true;
  ImageBuffer src, dst;
  ImgInit(src);
  ImgInit(dst);
  ImgAlloc(src, w, h, bits);
  uint32_t seed = 2166136261u;
  for (size_t i = 9; i < size; ++i) seed = (seed ^ data[i]) * 16777619u;
  for (int32_t i = 0; i < src.Size; ++i) {
    seed = seed * 1103515245u + 12345u;
    src.Pixels[i] = i + 9 < int32_t(size) ? data[i + 9] : uint8_t(seed >> 16);
  }
  std::vector<uint8_t> before(src.Pixels, src.Pixels + src.Size);
  bool inLimits = nw >= 1 && nh >= 1 && nw <= ScaleMostSize && nh <= ScaleMostSize && w <= ScaleMostSize &&
                  h <= ScaleMostSize;
  try {
    ImgScale(src, dst, nw, nh);
    int32_t want = bits == 32 ? 32 : 24;
    if (!inLimits || dst.Width != nw || dst.Height != nh || dst.BitsPerPixel != want || !ImgHasPixels(dst))
      holds = false;
    else if ((bits == 24 || bits == 32) && w <= 96 && h <= 96 && nw <= 96 && nh <= 96) {
      std::vector<uint8_t> plain = ref::Scale(before, w, h, bits / 8, nw, nh);
      if (std::memcmp(plain.data(), dst.Pixels, plain.size()) != 0) holds = false;
    }
  } catch (const EMon&) {
    // Out of the limits, or a vertical merge of more than 255 lines.
    if (!(LastError() == ErrorPair{4, 1}) || (inLimits && nh >= h)) holds = false;
  }
  ImgFree(src);
  ImgFree(dst);
  return holds && MemCount() == blocks;
}

namespace detail {

// A plain model of the tracked table above the count it starts at, and of
// the kept blocks, fed with the addresses the real calls hand out. The
// owner variables are MemSlots slots; every tracked block carries a stamp in
// its first and its last four bytes. The input layout is MemFuzz's.
class MemModel {
 public:
  MemModel(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // Runs the input's steps, checking the table, the slots, the stamps and
  // the kept blocks after each; then frees everything through the table.
  bool Holds() {
    while (at_ < size_) {
      pending_ = ErrNone;
      bool raised = false;
      try {
        if (!Step(false)) return false;
      } catch (const EMon&) {
        raised = true;
      }
      if (raised && (pending_ == ErrNone || !(LastError() == pending_))) return false;
      if (!Matches()) return false;
    }
    MemFreeAbove(base_);
    FreeAbove(base_);
    return Matches() && MemCount() == base_;
  }

 private:
  static constexpr int32_t MemSlots = 6;
  struct Entry {
    void* Block;
    int32_t Owner;  // a slot
    int32_t Size;
    int64_t Capacity;
    uint32_t Stamp;
  };
  struct Kept {
    void* Block;
    int64_t Capacity;
  };

  uint8_t Next() { return at_ < size_ ? data_[at_++] : 0; }
  int32_t Word() {
    const int32_t low = Next();
    return low | Next() << 8;
  }

  // Sizes on both sides of the kept blocks' limits, and invalid ones; the
  // large ones only while the input's budget of bytes lasts.
  int32_t Request() {
    const uint8_t kind = Next();
    switch (kind % 8) {
      case 3:
      case 4:
        return 15000 + Word() * 4;
      case 5:
        return Spend(300000 + Word() * 64);
      case 6:
        return Spend(30000000 + Word() * 64);
      case 7: {
        const int32_t invalid[] = {0, -1 - Next(), 2045222519 + Next()};
        return invalid[(kind >> 3) % 3];
      }
      default:
        return 1 + Word() % 4096;
    }
  }
  int32_t Spend(int32_t size) {
    if (budget_ < size) return 1 + size % 4096;
    budget_ -= size;
    return size;
  }

  // size x 1.05 to the nearest integer, halves to the even one, then up to
  // a multiple of four; -1 for a size the table refuses.
  static int64_t Adjusted(int64_t size) {
    if (size < 1) return -1;
    const int64_t times = size * 21, whole = times / 20, rest = times % 20;
    const int64_t rounded = whole + (rest > 10 || (rest == 10 && whole % 2 == 1));
    return rounded > INT32_MAX - 3 ? -1 : (rounded + 3) / 4 * 4;
  }

  // The first position above the base whose block p is, and whose owner is
  // the slot when one is given; -1 when none.
  int32_t Find(const void* p, int32_t owner = -1) const {
    for (size_t i = 0; i < table_.size(); ++i)
      if (table_[i].Block == p && (owner < 0 || table_[i].Owner == owner)) return int32_t(i);
    return -1;
  }

  int64_t KeptBytes() const {
    int64_t bytes = 0;
    for (const Kept& k : kept_) bytes += k.Capacity;
    return bytes;
  }
  bool IsKept(const void* p) const {
    for (const Kept& k : kept_)
      if (k.Block == p) return true;
    return false;
  }
  void Keep(void* block, int64_t capacity) {
    if (!keeping_ || capacity < MemKeptSmallest || capacity > MemKeptBytesMost) return;
    while (kept_.size() == size_t(MemKeptMost) || KeptBytes() + capacity > MemKeptBytesMost) kept_.pop_back();
    kept_.insert(kept_.begin(), Kept{block, capacity});
  }
  // The kept block a new request of adjusted bytes takes: the smallest that
  // holds it and wastes at most half of it, the most recent of equals.
  int32_t Fit(int64_t adjusted) const {
    int32_t best = -1;
    for (size_t i = 0; i < kept_.size(); ++i) {
      const int64_t c = kept_[i].Capacity;
      if (c >= adjusted && c <= adjusted + adjusted / 2 && (best < 0 || c < kept_[size_t(best)].Capacity))
        best = int32_t(i);
    }
    return best;
  }

  bool Refused() {
    if (refusals_ == 0) return false;
    if (grants_ > 0) {
      --grants_;
      return false;
    }
    --refusals_;
    return true;
  }
  // One request to the heap: a refusal returns the kept blocks, and the
  // heap is asked once more when there were any.
  bool Granted() {
    if (!Refused()) return true;
    if (kept_.empty()) return false;
    kept_.clear();
    return !Refused();
  }

  void FreeAbove(int32_t mark) {
    for (int32_t i = int32_t(table_.size()) - 1; i >= mark - base_ && i >= 0; --i) {
      Keep(table_[size_t(i)].Block, table_[size_t(i)].Capacity);
      table_.pop_back();
    }
  }

  void Stamp(const Entry& e) {
    std::memcpy(e.Block, &e.Stamp, 4);
    std::memcpy(static_cast<uint8_t*>(e.Block) + e.Size - 4, &e.Stamp, 4);
  }
  bool Stamped(const Entry& e) const {
    uint32_t first, last;
    std::memcpy(&first, e.Block, 4);
    std::memcpy(&last, static_cast<const uint8_t*>(e.Block) + e.Size - 4, 4);
    return first == e.Stamp && last == e.Stamp;
  }
  // The block's own bytes are addressable; the byte after them is not where
  // the block is a kept one handed to a smaller request (the tail is the
  // tracked memory's to poison); kept blocks are not at all. After a block
  // of the heap's own size lies AddressSanitizer's redzone, which is not
  // always poisoned when the block fills its size class exactly (seen with
  // 16128 bytes, after earlier inputs had used the same memory).
  static bool Bounded(const Entry& e) {
#ifdef SPIRALUX_ADDRESS_SANITIZER
    return !__asan_region_is_poisoned(e.Block, size_t(e.Size)) &&
           (e.Capacity == e.Size || __asan_address_is_poisoned(static_cast<uint8_t*>(e.Block) + e.Size));
#else
    return e.Block != nullptr;
#endif
  }

  bool Matches() const {
    if (MemCount() != base_ + int32_t(table_.size())) return false;
    for (size_t i = 0; i < table_.size(); ++i) {
      const MemEntry& real = MemTable[base_ + int32_t(i)];
      const Entry& e = table_[i];
      if (real.Block != e.Block || real.Owner != &slot_[e.Owner] || real.Size != e.Size || !Stamped(e)) return false;
    }
    for (int32_t s = 0; s < MemSlots; ++s)
      if (slot_[s] != expected_[s]) return false;
    const MemKept kept = MemKeptForTests();
    if (kept.Blocks != int32_t(kept_.size()) || kept.Bytes != KeptBytes()) return false;
#ifdef SPIRALUX_ADDRESS_SANITIZER
    for (const Kept& k : kept_)
      if (!__asan_address_is_poisoned(k.Block)) return false;
#endif
    return true;
  }

  // MemAlloc into a slot: the code, the block (the kept one the model
  // predicts, or one the heap gave), the entry, the stamps kept. A failure
  // raises inside a section, with pending_ the error expected.
  bool Allocate(int32_t s) {
    const int32_t request = Request();
    const int64_t adjusted = Adjusted(request);
    const int32_t pos = adjusted < 0 ? -1 : Find(slot_[s], s);
    int32_t code = 0;
    void* predicted = nullptr;
    int64_t capacity = adjusted;
    if (adjusted < 0) {
      code = ErrMemInvalidRequest.Code;
    } else if (pos >= 0) {
      if (!Granted()) code = ErrMemReallocFault.Code;
    } else if (base_ + int32_t(table_.size()) == MemTableSize) {
      code = ErrMemFatal.Code;
    } else if (const int32_t k = Fit(adjusted); k >= 0) {
      predicted = kept_[size_t(k)].Block;
      capacity = kept_[size_t(k)].Capacity;
      kept_.erase(kept_.begin() + k);
    } else if (!Granted()) {
      code = ErrMemAllocFault.Code;
    }
    if (code != 0) pending_ = ErrorPair{ErrCatMemory, code};
    if (MemAlloc(slot_[s], request) != code) return false;
    if (code != 0) return LastError() == pending_;
    uint8_t* p = slot_[s];
    if (predicted ? p != predicted : IsKept(p)) return false;
    Entry* e;
    if (pos >= 0) {
      e = &table_[size_t(pos)];
      if (std::memcmp(p, &e->Stamp, 4) != 0) return false;  // the contents moved with the block
      e->Block = p;
      e->Capacity = adjusted;
    } else {
      table_.push_back(Entry{p, s, 0, capacity, ++stamps_});
      e = &table_.back();
    }
    e->Size = int32_t(adjusted);
    expected_[s] = p;
    if (!Bounded(*e)) return false;
    Stamp(*e);
    return true;
  }

  void Free(int32_t s) {
    const int32_t pos = Find(slot_[s]);
    MemFree(slot_[s]);
    if (pos < 0) return;
    Keep(table_[size_t(pos)].Block, table_[size_t(pos)].Capacity);
    table_[size_t(pos)] = table_.back();
    table_.pop_back();
    expected_[s] = nullptr;
  }

  // MemSwap, then the variables exchanged as the record exchange does; an
  // untracked block raises "Memory manager fault." in any case.
  bool Swap(int32_t a, int32_t b) {
    const int32_t i = Find(slot_[a]), j = Find(slot_[b]);
    if (i < 0 || j < 0) pending_ = ErrMemManagerFault;
    MemSwap(slot_[a], slot_[b]);
    if (i < 0 || j < 0) return false;
    Entry &x = table_[size_t(i)], &y = table_[size_t(j)];
    std::swap(x.Block, y.Block);
    std::swap(x.Size, y.Size);
    std::swap(x.Capacity, y.Capacity);
    std::swap(x.Stamp, y.Stamp);
    std::swap(slot_[a], slot_[b]);
    std::swap(expected_[a], expected_[b]);
    return true;
  }

  // Up to six steps in a monitored section that then fails: it raises the
  // first error, and the blocks at and above its mark are freed.
  bool FailingSection() {
    const int32_t mark = MemCount(), steps = 1 + Next() % 6;
    bool ok = true, raised = false;
    try {
      MonRun([&] {
        for (int32_t k = 0; k < steps && ok; ++k) ok = Step(true);
        if (!ok) return;
        pending_ = ErrOutOfRange;
        MonSetError(ErrOutOfRange);
      });
    } catch (const EMon&) {
      raised = true;
    }
    if (!ok || !raised || !(LastError() == pending_)) return false;
    pending_ = ErrNone;
    FreeAbove(mark);
    return true;
  }

  // One step; the first byte chooses the operation (low three bits) and the
  // slot. False when a promise is broken; raises where MemAlloc or MemSwap
  // raise, with pending_ the error expected.
  bool Step(bool inSection) {
    const uint8_t op = Next();
    const int32_t s = (op >> 3) % MemSlots;
    switch (op % 8) {
      case 1:
        Free(s);
        return true;
      case 2:
        return Swap(s, Next() % MemSlots);
      case 3: {
        const int32_t mark = base_ + Next() % (int32_t(table_.size()) + 2);
        MemFreeAbove(mark);
        FreeAbove(mark);
        return true;
      }
      case 4:
        return inSection ? Allocate(s) : FailingSection();
      case 5: {
        const uint8_t b = Next();
        if (b & 0x80) {
          keeping_ = b & 1;
          MemKeepReleasedForTests(keeping_);
          if (!keeping_) kept_.clear();
        } else {
          grants_ = b % 4;
          refusals_ = (b >> 2) % 3;
          MemHeapRefusesForTests(grants_, refusals_);
        }
        return true;
      }
      case 6:
        // The slot holds another slot's address without owning it.
        slot_[s] = expected_[s] = slot_[Next() % MemSlots];
        return true;
      default:
        return Allocate(s);
    }
  }

  const uint8_t* data_;
  size_t size_, at_ = 0;
  int64_t budget_ = 400 << 20;
  const int32_t base_ = MemCount();
  uint8_t* slot_[MemSlots] = {};
  uint8_t* expected_[MemSlots] = {};
  std::vector<Entry> table_;
  std::vector<Kept> kept_;  // the most recent first
  bool keeping_ = true;
  int32_t grants_ = 0, refusals_ = 0;
  uint32_t stamps_ = 0;
  ErrorPair pending_ = ErrNone;
};

}  // namespace detail

// Random sequences of allocations, resizes, frees, swaps, MemFreeAbove,
// failing sections, heap refusals and the keeping switched off and on,
// against the plain model: the table, the owners, the contents, the kept
// blocks and, under AddressSanitizer, each block's bounds; everything is
// released at the end. Starts with no block kept and keeping on; leaves the
// keeping as it found it and the heap granting.
inline bool MemHolds(const uint8_t* data, size_t size) {
  const MemKeepingForTests keeping;
  MemHeapRefusesForTests(0, 0);
  const bool holds = detail::MemModel(data, size).Holds();
  MemHeapRefusesForTests(0, 0);
  MemKeepReleasedForTests(false);
  return holds && MemKeptForTests().Blocks == 0;
}

}  // namespace fuzz
