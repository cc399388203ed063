// ImageBuffer: the one image record of the image library, and the routines
// that allocate, release, copy and exchange it.
//
// The record has a fixed layout and belongs to whoever declares it; its pixel
// block is a tracked block (runtime/Basic.h) whose owner variable is the
// record's own Pixels field. So a record holding a block must never be copied
// by assignment: exchange records with ImgSwap, duplicate them with ImgCopy.
// Rows are packed top-down with no gap; pixels and palette entries are stored
// blue, green, red.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/Basic.h"

struct PaletteEntry {
  uint8_t Blue, Green, Red;
};

struct ImageBuffer {
  uint8_t* Pixels;         // tracked block owned by this field; null when none
  int32_t Size;            // Width x Height x BytesPerPixel at the last ImgAlloc
  int32_t Width;
  int32_t Height;
  int32_t BytesPerPixel;   // (BitsPerPixel + 7) / 8
  int32_t BitsPerPixel;    // 8, 15, 16, 24 or 32
  PaletteEntry Palette[256];  // meaningful for 8-bit images only
  Bool32 ExternalPixels;   // Pixels is not a tracked block (set by no routine here)
};

static_assert(sizeof(PaletteEntry) == 3, "palette entries are 3 bytes");

// Zeroes every byte of the record.
void ImgInit(ImageBuffer& image);
// Monitored. Allocates, or resizes keeping the leading bytes, a block of
// width x height x ((bits + 7) / 8) bytes named "(ImgAlloc):" + name, and sets
// the geometry. A width, height or depth that is not positive, or a size past
// 32 bits, is "Invalid memory request." (5, 5). On failure the memory error
// reaches the caller and Size holds the size asked for (-1 for an invalid
// request, so that the record no longer holds pixels); a record that owned
// a tracked block keeps it, its bytes, width, height and depth, and any
// other record is left with no pixels and a zero width, height and depth.
void ImgAlloc(ImageBuffer& image, int32_t width, int32_t height, int32_t bits, int32_t tag = 0,
              const std::string& name = "");
// Releases the block (nothing when it is not tracked) and zeroes the record.
void ImgFree(ImageBuffer& image);
// True when Pixels is a tracked block or ExternalPixels is set.
bool ImgHasPixels(const ImageBuffer& image);
// True when the image has pixels, a positive width and height, and its
// Width x Height x BytesPerPixel bytes lie within Size: what every routine
// that reads the pixels needs.
bool ImgHoldsPixels(const ImageBuffer& image);
// Re-describes pixels already in place; Size changes only for external
// pixels.
void ImgSetGeometry(ImageBuffer& image, int32_t width, int32_t height, int32_t bits);
// Copies width, height and the depth fields when the records differ.
void ImgCopyGeometry(const ImageBuffer& source, ImageBuffer& target);
// Monitored. Copies the 768 palette bytes when the records differ and the
// source is 8-bit.
void ImgCopyPalette(const ImageBuffer& source, ImageBuffer& target);
// Monitored. Allocates the target like the source and copies its pixels,
// when the records differ. A source that does not hold its pixels
// (ImgHoldsPixels) fails with "Invalid image format." (7, 2) and leaves the
// target alone.
void ImgCopyPixels(const ImageBuffer& source, ImageBuffer& target);
// Geometry, pixels and palette, when the records differ.
void ImgCopy(const ImageBuffer& source, ImageBuffer& target);
// Monitored. Exchanges two images completely; "Memory manager fault." when
// either holds no tracked block.
void ImgSwap(ImageBuffer& first, ImageBuffer& second);

// An image record that belongs to a scope: cleared when it is made and
// released with ImgFree when the scope ends, also when an exception leaves
// it. It is an ImageBuffer for every routine; like any record that may hold
// a block, it is never copied.
struct ScopedImage : ImageBuffer {
  ScopedImage() : ImageBuffer() { ImgInit(*this); }
  ScopedImage(const ScopedImage&) = delete;
  ScopedImage& operator=(const ScopedImage&) = delete;
  ~ScopedImage() { ImgFree(*this); }
};
