// Pack: the encoder of the compressed pixel stream that Load.h decodes, and
// the making of whole picture blocks.
//
// The encoder is greedy: at every position it weighs a skip against the
// previous picture, a run, a copy from the line above, the longest
// back-reference that a hash chain finds among the 24 distances, and a
// repeat of an earlier back-reference from the ring, and takes the one that
// saves the most bits over literals (10 bits a byte); it closes the stream
// with the end token. Whatever it writes, UnpackPixels turns back into the
// same bytes.
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"

// Monitored. Encodes the width x bytesPerPixel x height bytes at pixels as
// a compressed stream into the tracked block owned by stream (allocated, or
// resized when stream already owns one) and stores its length in
// streamBytes. previous, when not null, is the picture the decoder's target
// will already hold (same size): bytes equal to it are skipped. A size
// outside 1 x 1 x 1 .. what MemAlloc accepts, or bytes per pixel outside
// 1 .. 4, gives "Cannot compress image data." (7, 5) and leaves stream as
// it was.
void PackPixels(const uint8_t* pixels, const uint8_t* previous, int32_t width,
                int32_t bytesPerPixel, int32_t height, uint8_t*& stream, int32_t& streamBytes);

// Monitored. Makes the picture block of image (header, the palette for an
// 8-bit image, the pixels raw or packed) in the tracked block owned by
// block and stores its length in length. A 15-bit image is stored with 2
// bytes per pixel and loads back as 16 bits. previous, when not null, must
// have image's width, height and bytes per pixel; its pixels are what the
// loader's record already holds, and the packed stream skips over them.
// An image without pixels or whose block is shorter than its geometry, or a
// previous picture of another size or likewise short, gives "Cannot
// compress image data." (7, 5).
void ImgSaveToMemory(const ImageBuffer& image, const ImageBuffer* previous, bool compressed,
                     uint8_t*& block, int32_t& length);
