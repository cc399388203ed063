// Test helpers: hand-made picture blocks and compressed streams, and the
// error a monitored call ended with.
#pragma once

#include <cstdint>
#include <vector>

#include "image/PictureStream.h"
#include "runtime/Errors.h"

// A small deterministic generator (xorshift) for random pictures and sizes.
struct Random {
  uint32_t State;
  uint32_t Next() {
    State ^= State << 13;
    State ^= State >> 17;
    State ^= State << 5;
    return State;
  }
};

// Writes a stream bit by bit, most significant bit first.
struct StreamBits {
  std::vector<uint8_t> Bytes;
  int64_t Count = 0;

  StreamBits& Put(uint32_t value, int32_t bits) {
    for (int32_t i = bits - 1; i >= 0; --i, ++Count) {
      if (Count % 8 == 0) Bytes.push_back(0);
      if (value >> i & 1) Bytes.back() |= uint8_t(0x80 >> (Count % 8));
    }
    return *this;
  }
  StreamBits& Length(int32_t n) { return Put(n < 256 ? n : n - 256, StreamLengthBits(n)); }
  StreamBits& Literal(uint8_t b) { return Put(StreamLiteralPrefix, 2).Put(b, 8); }
  StreamBits& Control(uint32_t kind, int32_t kindBits) { return Put(StreamControlCode, 4).Put(kind, kindBits); }
  StreamBits& Above(int32_t n) { return Control(StreamAboveKind, 1).Put(n - 2, 7); }
  StreamBits& ShortSkip(int32_t n) { return Control(StreamShortSkipKind, 2).Put(n - 2, 6); }
  StreamBits& LongSkip(int32_t g, int32_t v) { return Control(StreamLongSkipKind, 2).Put(v, 6).Length(g); }
  StreamBits& End() { return Control(StreamLongSkipKind, 2).Put(0, 6); }
  StreamBits& Repeat(int32_t k) { return Put(StreamRepeatCode + k / 256, 4).Put(k & 255, 8); }
  StreamBits& Reference(int32_t d, int32_t o, int32_t n) {
    return Put(StreamReferenceCode + d / 4, 4).Put((d & 3) << 6 | o, 8).Length(n);
  }
  StreamBits& ByteRun(uint8_t v, int32_t n) { return Put(StreamRunCode, 4).Put(v, 8).Length(n); }
};

inline void PutInt32(std::vector<uint8_t>& b, int32_t v) {
  for (int32_t i = 0; i < 4; ++i) b.push_back(uint8_t(uint32_t(v) >> (8 * i)));
}

// Header, then the palette when given, then the payload.
inline std::vector<uint8_t> MakeBlock(int32_t width, int32_t height, int32_t bpp, int32_t compressed,
                                      const std::vector<uint8_t>& payload,
                                      const std::vector<uint8_t>& palette = {}) {
  std::vector<uint8_t> b;
  PutInt32(b, width);
  PutInt32(b, height);
  PutInt32(b, bpp);
  PutInt32(b, compressed);
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

// Runs call and returns the error that ended it, or (0, 0).
template <class Call>
ErrorPair ErrorOf(Call&& call) {
  try {
    call();
  } catch (const EMon&) {
    return LastError();
  }
  return ErrorPair{0, 0};
}
