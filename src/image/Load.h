// Load: turning a picture block held in memory into an ImageBuffer, and the
// decoder of the library's compressed pixel stream.
//
// A picture block is a 16-byte header (width, height, bytes per pixel,
// compressed flag; 32-bit little-endian), a 768-byte palette when there is
// one byte per pixel, then the pixels, raw or as a compressed stream (literal
// bytes, runs, copies from up to twelve lines above, a ring of earlier copies
// that can be repeated, and skips that keep what the target held). Blocks
// may come from anywhere, so the header and every token are checked: a block
// is read only within its length and the target is written only within its
// pixels.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"
#include "image/PictureStream.h"

constexpr int32_t PictureHeaderBytes = 16;
constexpr int32_t PicturePaletteBytes = 768;

// Monitored. Loads the block of `length` bytes into image, which must have
// been cleared with ImgInit or hold an earlier image: allocated with
// ImgAlloc (width, height, 8 x bytes per pixel), so that an image of the
// same size keeps its pixels where a stream skips. The header must give
// width and height of at least 1, 1 to 4 bytes per pixel, a pixel size that
// MemAlloc accepts, and a block long enough for its palette and raw pixels
// (or, compressed, a stream that could fill them); otherwise
// "Image header invalid." (7, 4) and the image is left as it was. A stream
// that breaks its rules gives "Image data corrupted." (7, 9); a block that
// the call allocated is then released and the record cleared, an earlier
// block is kept with what was decoded so far.
void ImgLoadFromMemory(const void* block, int32_t length, ImageBuffer& image);

// Monitored. Decodes the compressed stream of streamBytes bytes into the
// width x bytesPerPixel x height bytes at target, returning at the end
// token. Reads nothing outside the stream and writes nothing outside the
// target; a token that would go outside, a repeat of a ring entry that no
// back-reference has filled, or a stream that runs out before its end token
// gives "Image data corrupted." (7, 9). A null target, a geometry outside
// 1 x 1 x 1 .. 2^31 - 1 bytes or bytes per pixel outside 1 .. 4 gives
// "Image header invalid." (7, 4). Uses no heap memory.
void UnpackPixels(const uint8_t* stream, int32_t streamBytes, uint8_t* target, int32_t width,
                  int32_t bytesPerPixel, int32_t height);
