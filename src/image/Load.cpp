// Picture blocks and the decoder of the compressed pixel stream.
//
// The decoder reads the stream through a 64-bit window loaded at the bit
// position before every token: the longest token (a run at 3 bytes per pixel
// with its length code) is 44 bits and a window always holds at least 57, so
// a token never needs a second load. Bytes past the end of the stream read
// as zero, and a token that ends past it fails the stream.
#include "image/Load.h"

#include <cstring>

#include "runtime/Errors.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the window load assumes little-endian");

namespace {

int32_t ReadInt32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

template <class Index>
struct BitWindow {
  const uint8_t* Data;
  Index Bytes;
  Index Pos;  // in bits

  uint64_t Load() const {
    Index at = Pos >> 3;
    uint64_t w = 0;
#if defined(__i386__)
    if (at + 8 <= Bytes) {
      // The 32-bit build shifts two 32-bit halves, each on its own, and
      // keeps them in two registers; as one 64-bit value its window is
      // shifted in memory.
      uint32_t high, low;
      std::memcpy(&high, Data + at, 4);
      std::memcpy(&low, Data + at + 4, 4);
      high = __builtin_bswap32(high);
      low = __builtin_bswap32(low);
      const uint32_t s = uint32_t(Pos & 7);
      return uint64_t(high << s | (low >> 1) >> (31 - s)) << 32 | (low << s);
    }
    for (Index i = at; i < at + 8; ++i) w = w << 8 | (i < Bytes ? Data[i] : 0);
#else
    if (at + 8 <= Bytes) {
      std::memcpy(&w, Data + at, 8);
      w = __builtin_bswap64(w);
    } else {
      for (Index i = at; i < at + 8; ++i) w = w << 8 | (i < Bytes ? Data[i] : 0);
    }
#endif
    return w << (Pos & 7);
  }
};

// The copies and fills of a token are mostly short. Up to 128 bytes they are
// done inline by 8-byte words, the last word overlapping the one before: a
// call into the C runtime, which the Windows build cannot inline, costs more
// than such a copy. Up to 16 bytes all loads come before the stores, so
// overlapping ranges move as with memmove; longer ranges must not overlap.
template <class Word>
inline void MoveWords(uint8_t* d, const uint8_t* s, size_t n) {
  Word head, tail;
  std::memcpy(&head, s, sizeof head);
  std::memcpy(&tail, s + n - sizeof tail, sizeof tail);
  std::memcpy(d, &head, sizeof head);
  std::memcpy(d + n - sizeof tail, &tail, sizeof tail);
}

template <class Index>
inline void MoveShort(uint8_t* d, const uint8_t* s, Index n) {
  if (n > 128) {
    std::memmove(d, s, size_t(n));
  } else if (n > 16) {
    uint64_t w;
    for (Index i = 0; i + 8 < n; i += 8) std::memcpy(&w, s + i, 8), std::memcpy(d + i, &w, 8);
    std::memcpy(&w, s + n - 8, 8), std::memcpy(d + n - 8, &w, 8);
  } else if (n >= 8) {
    MoveWords<uint64_t>(d, s, size_t(n));
  } else if (n >= 4) {
    MoveWords<uint32_t>(d, s, size_t(n));
  } else if (n >= 2) {
    MoveWords<uint16_t>(d, s, size_t(n));
  } else if (n == 1) {
    *d = *s;
  }
}

template <class Index>
inline void FillShort(uint8_t* d, uint8_t value, Index n) {
  if (n > 128 || n < 8) {
    std::memset(d, value, size_t(n));
    return;
  }
  const uint64_t word = 0x0101010101010101ull * value;
  for (Index i = 0; i + 8 < n; i += 8) std::memcpy(d + i, &word, 8);
  std::memcpy(d + n - 8, &word, 8);
}

// Copies n bytes from src to out one by one in increasing order, so that a
// source just behind out repeats its pattern; done a block at a time.
template <class Index>
inline void CopyForward(uint8_t* t, Index src, Index out, Index n) {
  Index gap = out - src;
  if (gap <= 0 || gap >= n) {
    MoveShort(t + out, t + src, n);
    return;
  }
  if (gap == 1) {
    FillShort(t + out, t[src], n);
    return;
  }
  uint8_t* d = t + out;
  while (n > 0) {
    Index c = gap < n ? gap : n;
    MoveShort(d, t + src, c);
    d += c;
    n -= c;
    gap += c;
  }
}

template <class Index>
bool Decode(const uint8_t* stream, Index streamBytes, uint8_t* t, Index line, int32_t bpp,
            Index end) {
  Index dist[StreamDistances];
  for (int32_t d = 0; d < StreamReferenceLines; ++d) dist[d] = 64 + d * line;
  for (int32_t d = StreamReferenceLines; d < StreamDistances; ++d) dist[d] = (d - StreamReferenceLines + 1) * line;
  int32_t ringPos[StreamRingSize], ringCount[StreamRingSize];
  int32_t ringNext = 0, ringFilled = 0;

  BitWindow<Index> in{stream, streamBytes, 0};
  const Index streamBits = streamBytes * 8;
  Index out = 0;
  for (;;) {
    if (in.Pos > streamBits) return false;
    uint64_t w = in.Load();
    if ((w >> 62) == StreamLiteralPrefix) {
      // Literals come in rows: take as many as the window holds.
      int32_t used = 0;
      do {
        if (out >= end) return false;
        t[out++] = uint8_t(w >> 54);
        w <<= StreamLiteralBits;
        used += StreamLiteralBits;
      } while (used <= 40 && (w >> 62) == StreamLiteralPrefix);
      in.Pos += used;
      continue;
    }
    uint32_t c = uint32_t(w >> 60);
    uint32_t v = uint32_t(w >> 52) & 255;
    int32_t used;
    if (c == StreamRunCode) {
      uint8_t pixel[3] = {uint8_t(v), 0, 0};
      int32_t head = StreamTokenBits, size = 1;
      if (bpp == 3) {
        uint32_t rest = uint32_t(w >> 36) & 0xFFFF;
        pixel[1] = uint8_t(rest);
        pixel[2] = uint8_t(rest >> 8);
        head = 28;
        size = 3;
      } else if (bpp == 2) {
        pixel[0] = uint8_t(w >> 44);
        pixel[1] = uint8_t(v);
        head = 20;
        size = 2;
      }
      Index n = ReadLength(w << head, used) * Index(size);
      if (out + n > end) return false;
      if (size == 1) {
        FillShort(t + out, pixel[0], n);
      } else {
        MoveShort(t + out, pixel, size);
        CopyForward(t, out, out + size, n - size);
      }
      out += n;
      in.Pos += head + used;
    } else if (c == StreamControlCode) {
      uint32_t kind = uint32_t(w >> 58) & 3;
      if (kind >> 1 == StreamAboveKind) {  // copy from above
        Index n = Index(w >> 52 & 127) + 2;
        if (out < line || out + n > end) return false;
        CopyForward(t, out - line, out, n);
        out += n;
      } else if (kind == StreamShortSkipKind) {
        out += Index(v & 63) + 2;
        if (out > end) out = end;
      } else {  // long skip, or the end
        in.Pos += StreamTokenBits;
        if (out >= end) return in.Pos <= streamBits;
        Index g = ReadLength(w << StreamTokenBits, used);
        out += 64 * g + Index(v & 63) - 62;
        if (out > end) out = end;
        in.Pos += used;
        continue;
      }
      in.Pos += StreamTokenBits;
    } else if (c < StreamReferenceCode) {  // repeat from the ring
      int32_t k = int32_t((c - StreamRepeatCode) * 256 + v);
      if (k >= ringFilled) return false;
      Index n = ringCount[k];
      if (out + n > end) return false;
      MoveShort(t + out, t + ringPos[k], n);
      out += n;
      in.Pos += StreamTokenBits;
    } else if (c < StreamReferenceCode + StreamDistances / 4) {  // back-reference
      int32_t d = int32_t((c - StreamReferenceCode) * 4 + (v >> 6));
      Index n = ReadLength(w << StreamTokenBits, used);
      Index src = out - dist[d] + (v & 63);
      if (src < 0 || out + n > end || src + n > end) return false;
      ringPos[ringNext] = int32_t(out);
      ringCount[ringNext] = int32_t(n);
      ringNext = (ringNext + 1) & (StreamRingSize - 1);
      if (ringFilled < StreamRingSize) ++ringFilled;
      CopyForward(t, src, out, n);
      out += n;
      in.Pos += StreamTokenBits + used;
    }
  }
}

constexpr int64_t Narrowest = int64_t(1) << 27;

}  // namespace

void UnpackPixels(const uint8_t* stream, int32_t streamBytes, uint8_t* target, int32_t width,
                  int32_t bytesPerPixel, int32_t height) {
  MonRun([&] {
    int64_t line = int64_t(width) * bytesPerPixel;
    if (!target || (!stream && streamBytes > 0) || width < 1 || height < 1 || bytesPerPixel < 1 ||
        bytesPerPixel > 4 || line * height > INT32_MAX)
      MonSetError(ErrImgHeaderInvalid);
    // The positions are 32-bit numbers where none can reach 2^31: for a
    // picture and a stream of up to 2^27 bytes, twelve lines back and the
    // stream's bits stay below it. That is faster on both processors, and
    // on the 32-bit one by far; larger pictures take 64-bit positions.
    const int64_t bytes = streamBytes < 0 ? 0 : streamBytes, end = line * height;
    const bool narrow = end <= Narrowest && bytes <= Narrowest;
    if (!(narrow ? Decode<int32_t>(stream, int32_t(bytes), target, int32_t(line), bytesPerPixel, int32_t(end))
                 : Decode<int64_t>(stream, bytes, target, line, bytesPerPixel, end)))
      MonSetError(ErrImgDataCorrupted);
  });
}

void ImgLoadFromMemory(const void* block, int32_t length, ImageBuffer& image) {
  const uint8_t* b = static_cast<const uint8_t*>(block);
  try {
    MonRun([&] {
      if (!b || length < PictureHeaderBytes) MonSetError(ErrImgHeaderInvalid);
      int32_t width = ReadInt32(b), height = ReadInt32(b + 4), bpp = ReadInt32(b + 8);
      bool compressed = ReadInt32(b + 12) != 0;
      if (width < 1 || height < 1 || bpp < 1 || bpp > 4) MonSetError(ErrImgHeaderInvalid);
      int64_t count = int64_t(width) * height;  // below 2^62: no overflow before the check
      int64_t size = count > INT32_MAX ? INT64_MAX / 64 : count * bpp;
      int64_t at = PictureHeaderBytes + (bpp == 1 ? PicturePaletteBytes : 0);
      int64_t rest = length - at;
      if (!MemSizeAccepted(size) || rest < 0 || (!compressed && rest < size) ||
          (compressed && size * StreamLongestSkipBits > rest * 8 * int64_t(StreamLongestSkip)))
        MonSetError(ErrImgHeaderInvalid);

      ImgAlloc(image, width, height, 8 * bpp);
      ImgSetGeometry(image, width, height, 8 * bpp);
      if (bpp == 1) MoveBytes(b + PictureHeaderBytes, image.Palette, PicturePaletteBytes);
      if (compressed)
        UnpackPixels(b + at, int32_t(rest), image.Pixels, width, bpp, height);
      else
        MoveBytes(b + at, image.Pixels, int32_t(size));
    });
  } catch (const EMon&) {
    // A block this call allocated was released by the section: leave no
    // pointer to it behind.
    if (image.Pixels && !image.ExternalPixels && !MemTest(image.Pixels)) ImgInit(image);
    throw;
  }
}
