// The encoder of the compressed pixel stream, and picture blocks.
#include "image/Pack.h"

#include <cstring>

#include "image/Load.h"
#include "image/PictureStream.h"
#include "runtime/Errors.h"

namespace {

constexpr int32_t HashBits = 16;
constexpr int32_t RepeatBits = 12;
constexpr int32_t ChainSteps = 24;

struct BitSink {
  uint8_t* Data;
  int64_t Bytes = 0;
  uint64_t Acc = 0;
  int32_t Count = 0;

  void Put(uint32_t value, int32_t bits) {
    Acc = Acc << bits | value;
    Count += bits;
    while (Count >= 8) {
      Count -= 8;
      Data[Bytes++] = uint8_t(Acc >> Count);
    }
  }
  void Finish() {
    if (Count > 0) Data[Bytes++] = uint8_t(Acc << (8 - Count));
    Count = 0;
  }
};

// The code is n written in its own bit count: the leading zeros are the
// prefix, and 256 .. 767 are seven zeros and n - 256 in nine bits.
void PutLength(BitSink& s, int64_t n) {
  if (n < 256)
    s.Put(uint32_t(n), StreamLengthBits(n));
  else
    s.Put(uint32_t(n - 256), 16);
}

int64_t MatchLength(const uint8_t* a, const uint8_t* b, int64_t most) {
  int64_t i = 0;
  while (i + 8 <= most) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) return i + __builtin_ctzll(x ^ y) / 8;
    i += 8;
  }
  while (i < most && a[i] == b[i]) ++i;
  return i;
}

uint32_t Hash3(const uint8_t* p, int32_t bits) {
  uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  return (v * 2654435761u) >> (32 - bits);
}

// The back-reference code (d, o) of a distance, or false when none reaches
// it: d = 0 .. 11 covers d lines up and 1 .. 64 bytes to the left, d = 12 ..
// 23 covers 1 .. 12 lines up and 0 .. 63 bytes to the right.
bool DistanceCode(int64_t dist, int64_t line, int32_t& d, int32_t& o) {
  int64_t k = (dist + line - 1) / line;
  if (k >= 1 && k <= StreamReferenceLines && k * line - dist <= 63) {
    d = int32_t(StreamReferenceLines - 1 + k);
    o = int32_t(k * line - dist);
    return true;
  }
  int64_t lines = dist <= 64 ? 0 : (dist - 64 + line - 1) / line;
  if (lines < StreamReferenceLines && dist - lines * line >= 1) {
    d = int32_t(lines);
    o = int32_t(64 + lines * line - dist);
    return true;
  }
  return false;
}

struct Choice {
  enum Kind { Literal, Skip, Run, Above, Reference, Repeat } Token = Literal;
  int64_t Bytes = 1;
  int64_t Gain = 0;
  int32_t Code = 0, Offset = 0;  // back-reference d and o, or ring entry

  void Offer(Kind kind, int64_t bytes, int64_t bits, int32_t code = 0, int32_t offset = 0) {
    int64_t gain = StreamLiteralBits * bytes - bits;
    if (gain > Gain || (gain == Gain && bytes > Bytes)) {
      Token = kind;
      Bytes = bytes;
      Gain = gain;
      Code = code;
      Offset = offset;
    }
  }
};

struct Encoder {
  const uint8_t* Pix;
  const uint8_t* Prev;
  int64_t Line, End;
  int32_t Bpp;
  int32_t* Head;   // 1 << HashBits newest positions
  int32_t* Chain;  // earlier position with the same hash, by position & Mask
  int64_t Mask, Reach;
  int32_t RingPos[StreamRingSize], RingCount[StreamRingSize];
  int32_t RingNext = 0, RingFilled = 0;
  int32_t RepeatHead[1 << RepeatBits];

  void Insert(int64_t from, int64_t to) {
    for (int64_t p = from; p < to && p + 2 < End; ++p) {
      uint32_t h = Hash3(Pix + p, HashBits);
      Chain[p & Mask] = Head[h];
      Head[h] = int32_t(p);
    }
  }

  void OfferRun(Choice& c, int64_t out) const {
    int64_t size = (Bpp == 2 || Bpp == 3) ? Bpp : 1;
    int64_t most = (End - out) / size;
    if (most > StreamLongestLength) most = StreamLongestLength;
    if (most < 2) return;
    int64_t n = 1;
    while (n < most && std::memcmp(Pix + out, Pix + out + n * size, size_t(size)) == 0) ++n;
    if (n >= 2) c.Offer(Choice::Run, n * size, 4 + 8 * size + StreamLengthBits(n));
  }

  void OfferReferences(Choice& c, int64_t out) const {
    int64_t most = End - out < StreamLongestLength ? End - out : StreamLongestLength;
    if (most < 2 || out + 2 >= End) return;
    int32_t cand = Head[Hash3(Pix + out, HashBits)];
    for (int32_t step = 0; step < ChainSteps && cand >= 0; ++step) {
      int64_t dist = out - cand;
      if (dist > Reach) break;
      int32_t d, o;
      if (DistanceCode(dist, Line, d, o)) {
        int64_t n = MatchLength(Pix + cand, Pix + out, most);
        if (n >= 2) c.Offer(Choice::Reference, n, StreamTokenBits + StreamLengthBits(n), d, o);
        if (n == most) break;
      }
      int32_t next = Chain[cand & Mask];
      if (next >= cand) break;
      cand = next;
    }
  }

  void OfferRepeat(Choice& c, int64_t out) const {
    if (out + 2 >= End) return;
    int32_t k = RepeatHead[Hash3(Pix + out, RepeatBits)];
    if (k < 0 || k >= RingFilled) return;
    int64_t n = RingCount[k];
    if (n <= End - out && std::memcmp(Pix + RingPos[k], Pix + out, size_t(n)) == 0)
      c.Offer(Choice::Repeat, n, StreamTokenBits, k);
  }

  void Emit(BitSink& s, const Choice& c, int64_t out) {
    switch (c.Token) {
      case Choice::Literal:
        s.Put(StreamLiteralPrefix, 2);
        s.Put(Pix[out], 8);
        break;
      case Choice::Skip:
        s.Put(StreamControlCode, 4);
        if (c.Bytes <= StreamLongestShortSkip) {
          s.Put(StreamShortSkipKind, 2);
          s.Put(uint32_t(c.Bytes - 2), 6);
        } else {
          s.Put(StreamLongSkipKind, 2);
          s.Put(uint32_t((c.Bytes + 62) & 63), 6);
          PutLength(s, (c.Bytes + 62) >> 6);
        }
        break;
      case Choice::Run: {
        const uint8_t* p = Pix + out;
        s.Put(StreamRunCode, 4);
        if (Bpp == 3) {
          s.Put(p[0], 8);
          s.Put(uint32_t(p[2]) << 8 | p[1], 16);
          PutLength(s, c.Bytes / 3);
        } else if (Bpp == 2) {
          s.Put(p[1], 8);
          s.Put(p[0], 8);
          PutLength(s, c.Bytes / 2);
        } else {
          s.Put(p[0], 8);
          PutLength(s, c.Bytes);
        }
        break;
      }
      case Choice::Above:
        s.Put(StreamControlCode, 4);
        s.Put(StreamAboveKind, 1);
        s.Put(uint32_t(c.Bytes - 2), 7);
        break;
      case Choice::Reference:
        s.Put(StreamReferenceCode + uint32_t(c.Code / 4), 4);
        s.Put(uint32_t((c.Code & 3) << 6 | c.Offset), 8);
        PutLength(s, c.Bytes);
        RingPos[RingNext] = int32_t(out);
        RingCount[RingNext] = int32_t(c.Bytes);
        RepeatHead[Hash3(Pix + out, RepeatBits)] = RingNext;
        RingNext = (RingNext + 1) & (StreamRingSize - 1);
        if (RingFilled < StreamRingSize) ++RingFilled;
        break;
      case Choice::Repeat:
        s.Put(StreamRepeatCode + uint32_t(c.Code / 256), 4);
        s.Put(uint32_t(c.Code & 255), 8);
        break;
    }
  }

  void Run(BitSink& s) {
    int64_t out = 0;
    while (out < End) {
      Choice c;
      if (Prev) {
        int64_t most = End - out < StreamLongestSkip ? End - out : StreamLongestSkip;
        int64_t k = MatchLength(Prev + out, Pix + out, most);
        if (k >= 2) c.Offer(Choice::Skip, k, k <= StreamLongestShortSkip ? StreamTokenBits : StreamTokenBits + StreamLengthBits((k + 62) >> 6));
      }
      OfferRun(c, out);
      if (out >= Line) {
        int64_t most = End - out < StreamLongestAbove ? End - out : StreamLongestAbove;
        int64_t n = MatchLength(Pix + out - Line, Pix + out, most);
        if (n >= 2) c.Offer(Choice::Above, n, StreamTokenBits);
      }
      OfferReferences(c, out);
      OfferRepeat(c, out);
      Emit(s, c, out);
      Insert(out, out + c.Bytes);
      out += c.Bytes;
    }
    s.Put(StreamControlCode, 4);  // the end token: a long skip met at the end
    s.Put(StreamLongSkipKind, 2);
    s.Put(0, 6);
    s.Finish();
  }
};

}  // namespace

void PackPixels(const uint8_t* pixels, const uint8_t* previous, int32_t width,
                int32_t bytesPerPixel, int32_t height, uint8_t*& stream, int32_t& streamBytes) {
  MonRun([&] {
    int64_t line = int64_t(width) * bytesPerPixel, count = int64_t(width) * height;
    int64_t end = count > INT32_MAX ? INT32_MAX : line * height;
    int64_t bound = end + end / 4 + 8;
    if (!pixels || width < 1 || height < 1 || bytesPerPixel < 1 || bytesPerPixel > 4 ||
        !MemSizeAccepted(bound))
      MonSetError(ErrImgCannotCompress);

    Encoder e;
    e.Pix = pixels;
    e.Prev = previous;
    e.Line = line;
    e.End = end;
    e.Bpp = bytesPerPixel;
    e.Reach = 12 * line + 64;
    int64_t window = 1;
    while (window <= e.Reach) window <<= 1;
    e.Mask = window - 1;
    e.Head = e.Chain = nullptr;
    MemAlloc(e.Head, int32_t(sizeof(int32_t)) << HashBits, 0, "(PackPixels):hash");
    MemAlloc(e.Chain, int32_t(window * int64_t(sizeof(int32_t))), 0, "(PackPixels):chain");
    std::memset(e.Head, 0xFF, sizeof(int32_t) << HashBits);
    std::memset(e.RepeatHead, 0xFF, sizeof e.RepeatHead);

    uint8_t* packed = nullptr;
    MemAlloc(packed, int32_t(bound), 0, "(PackPixels):stream");
    BitSink sink{packed};
    e.Run(sink);
    MemFree(e.Chain);
    MemFree(e.Head);

    MemAlloc(stream, int32_t(sink.Bytes), 0, "(PackPixels)");
    MoveBytes(packed, stream, int32_t(sink.Bytes));
    MemFree(packed);
    streamBytes = int32_t(sink.Bytes);
  });
}

void ImgSaveToMemory(const ImageBuffer& image, const ImageBuffer* previous, bool compressed,
                     uint8_t*& block, int32_t& length) {
  MonRun([&] {
    int32_t bpp = image.BytesPerPixel;
    // Pixels are read for the whole geometry: a block shorter than that is
    // refused, not read past its end.
    auto shortBlock = [](const ImageBuffer& x) { return int64_t(x.Width) * x.Height * x.BytesPerPixel > x.Size; };
    if (!ImgHasPixels(image) || bpp < 1 || bpp > 4 || shortBlock(image) ||
        (previous && (previous->Width != image.Width || previous->Height != image.Height ||
                      previous->BytesPerPixel != bpp || !ImgHasPixels(*previous) || shortBlock(*previous))))
      MonSetError(ErrImgCannotCompress);

    int32_t at = PictureHeaderBytes + (bpp == 1 ? PicturePaletteBytes : 0);
    uint8_t* packed = nullptr;
    int32_t packedBytes = image.Width * image.Height * bpp;
    if (compressed)
      PackPixels(image.Pixels, previous ? previous->Pixels : nullptr, image.Width, bpp,
                 image.Height, packed, packedBytes);

    MemAlloc(block, at + packedBytes, 0, "(ImgSaveToMemory)");
    const int32_t header[4] = {image.Width, image.Height, bpp, compressed ? 1 : 0};
    for (int32_t i = 0; i < 16; ++i) block[i] = uint8_t(uint32_t(header[i / 4]) >> (8 * (i % 4)));
    if (bpp == 1) MoveBytes(image.Palette, block + PictureHeaderBytes, PicturePaletteBytes);
    MoveBytes(compressed ? packed : image.Pixels, block + at, packedBytes);
    MemFree(packed);
    length = at + packedBytes;
  });
}
