// PictureStream: the layout of the compressed pixel stream, which
// UnpackPixels (Load.h) decodes and PackPixels (Pack.h) writes.
//
// Bits go most significant first. A literal is the two bits 11 and the byte;
// every other token starts with a 4-bit code:
//   0       run: the pixel (one byte; for 2 bytes per pixel the second byte,
//           then the first; for 3 the first, then the third and the second)
//           and a length code n: n pixels (one byte each at 1 or 4 bytes
//           per pixel).
//   1       control: bit 0, then 7 bits n - 2: n bytes copied from the line
//           above; or bits 10, then 6 bits n - 2: a short skip of n bytes; or
//           bits 11, 6 bits v and a length code g: a long skip of
//           64 g + v - 62 bytes. Met where the target is full, the 12 bits
//           0001 11 000000 end the stream (no length code follows).
//   2..5    repeat: 8 more bits; ring entry (code - 2) x 256 + byte.
//   6..11   back-reference: 8 more bits, distance d = (code - 6) x 4 + the
//           top two, offset o the low six; then a length code n. d = 0 .. 11
//           reaches d lines up and 64 - o bytes to the left, d = 12 .. 23
//           reaches d - 11 lines up and o bytes to the right. Each one is
//           also noted in the ring of the last StreamRingSize references.
// A length code (ReadLength) holds 2 .. StreamLongestLength.
#pragma once

#include <cstdint>

constexpr uint32_t StreamRunCode = 0;
constexpr uint32_t StreamControlCode = 1;
constexpr uint32_t StreamRepeatCode = 2;     // 2 .. 5
constexpr uint32_t StreamReferenceCode = 6;  // 6 .. 11
constexpr uint32_t StreamLiteralPrefix = 3;  // two bits
constexpr int32_t StreamLiteralBits = 10;
constexpr int32_t StreamTokenBits = 12;  // the code and its byte
// The kinds of a control token, after its code.
constexpr uint32_t StreamAboveKind = 0;      // one bit
constexpr uint32_t StreamShortSkipKind = 2;  // two bits
constexpr uint32_t StreamLongSkipKind = 3;   // two bits

constexpr int32_t StreamRingSize = 1024;
constexpr int32_t StreamReferenceLines = 12;
constexpr int32_t StreamDistances = 2 * StreamReferenceLines;
constexpr int32_t StreamLongestLength = 767;
constexpr int32_t StreamLongestAbove = 129;
constexpr int32_t StreamLongestShortSkip = 65;
// The longest skip, and the bits of the token that makes it: the most output
// one stream bit can give.
constexpr int32_t StreamLongestSkip = 64 * StreamLongestLength + 63 - 62;
constexpr int32_t StreamLongestSkipBits = StreamTokenBits + 16;

// Bits of the length code of n (2 .. StreamLongestLength).
inline int32_t StreamLengthBits(int64_t n) { return n < 256 ? 2 * (63 - __builtin_clzll(uint64_t(n))) : 16; }

// The length code of the stream, read from the next bits held left-aligned
// in window (the most significant bit first). z zero bits, a one bit and
// z + 1 more bits give 2 .. 255 (z = 0 .. 6, 2z + 2 bits); seven zero bits
// and 9 more bits give 256 .. 767 (16 bits). Stores the bits used in used.
inline int32_t ReadLength(uint64_t window, int32_t& used) {
  if ((window >> 57) == 0) {
    used = 16;
    return 256 + int32_t((window >> 48) & 511);
  }
  int32_t z = __builtin_clzll(window);
  used = 2 * z + 2;
  return int32_t(window >> (64 - used));
}
