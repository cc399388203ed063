// Scale: resizing an image with integer box reduction and mean-inserting
// enlargement, line by line.
//
// Design: the scaler is separable and works in a fixed-point unit of 70000
// per source pixel or line. Reduction averages whole runs of neighbours (the
// truncated mean, every source sample used once); enlargement doubles as
// often as the whole factor allows, inserting the mean of two neighbours,
// then one fractional pass inserts further means where the output falls
// behind. Reduction runs vertically before the horizontal step and
// enlargement vertically after it, so the horizontal step sees the fewer
// lines; vertical doubling runs in place inside the target, alternating its
// direction, so no second full-size image is needed. Every byte of a pixel
// is a channel of its own, and every result is exact integer arithmetic:
// the fast paths below only share the run pattern between channels and
// divide by multiplication, and tests check them against the plain loops.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"

constexpr int32_t ScaleUnit = 70000;
// 70000 x size must fit in 32 bits.
constexpr int32_t ScaleMostSize = 30678;
// A vertical merge sums 16-bit lanes and divides by an 8-bit count.
constexpr int32_t ScaleMostMerge = 255;

// Monitored; runs as image operation 40 (work depth 24, or 32 for a 32-bit
// source; not in place). Resizes source into destination, which may be the
// same record: on return destination holds newWidth x newHeight pixels at
// the work depth. Source and target sizes must lie in 1 .. ScaleMostSize
// and a vertical reduction may merge at most ScaleMostMerge source lines
// into one; otherwise "Out of range." (4, 1) and nothing changes. A source
// without pixels or of an unknown depth fails in the set-up (OpBegin);
// allocation errors come from MemAlloc. After a failure neither record
// points at a released block.
void ImgScale(ImageBuffer& source, ImageBuffer& destination, int32_t newWidth, int32_t newHeight);

// The line routines work in one line buffer: region A at its start holds the
// line being worked on, region B follows it. step is the bytes per pixel,
// each byte of a pixel a channel; ratio is source samples x 70000 / output
// samples, and the line lengths are in bytes; a step outside 1 .. 4 does
// nothing. The buffer must hold the
// regions the call uses (ImgScale's holds at least max(src, dst) x step
// bytes).

// Box-reduces the line in A into dstLineBytes bytes at buffer +
// srcLineBytes (B): output j is the truncated mean of the next run of
// samples, the run lasting while the source position has not reached j's
// end (a tie merges).
void LineReduce(int32_t step, int32_t ratio, int32_t dstLineBytes, int32_t srcLineBytes, uint8_t* buffer);
// Enlarges the line in A into dstLineBytes bytes at buffer + dstLineBytes
// (B): while factor > 1 the line is doubled (a mean between neighbours, the
// last sample repeated) into B and copied back to A, factor halving; a
// doubled line of the full length is the result, else the ratio is taken
// afresh and a fractional pass inserts a mean before the sample at which
// the output falls behind.
void LineEnlarge(int32_t step, int32_t factor, int32_t ratio, int32_t dstLineBytes, int32_t srcLineBytes,
                 uint8_t* buffer);
// The next three are the loops of ImgScale's vertical steps: a reduction
// of three or more lines sums them with LineAccumulate's loop and divides
// with LineDivide, two are averaged with LineAverage's loop. The bytes and
// the words they read must not overlap.
//
// The 16-bit word at buffer + offset + 2i (little-endian, any alignment)
// increases by byte i, modulo 65536, for i in 0 .. count - 1.
void LineAccumulate(int32_t offset, int32_t count, uint8_t* buffer);
// Byte i becomes the low byte of word(buffer + offset + 2i) / divisor,
// divisor taken modulo 256; a divisor of 0 changes nothing and records
// "Out of range." (4, 1).
void LineDivide(int32_t divisor, int32_t offset, int32_t count, uint8_t* buffer);
// Byte i becomes (byte i + byte (i + offset)) >> 1.
void LineAverage(int32_t offset, int32_t count, uint8_t* buffer);
