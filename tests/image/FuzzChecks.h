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

#include "reference/Scale.h"
#include "image/Kernels.h"
#include "image/ImageBuffer.h"
#include "image/Load.h"
#include "image/Mapping.h"
#include "image/Pack.h"
#include "image/Scale.h"
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

inline Quantized Quantize(const ImageBuffer& picture, int32_t method, bool vector) {
  KernelsForTests(vector);
  ImageBuffer source, target;
  ImgInit(source);
  ImgInit(target);
  ImgCopy(picture, source);
  ImgQuantize(source, target, method);
  KernelsForTests(true);
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

// ImgQuantize with the vector loops and with the plain ones: the same
// indices, palette and source afterwards; the target has the source's size;
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

  const detail::Quantized vector = detail::Quantize(picture, method, true),
                          plain = detail::Quantize(picture, method, false);
  bool holds = !vector.Indices.empty() && vector.Indices == plain.Indices && vector.Palette == plain.Palette &&
               vector.Source == plain.Source;
  const bool diffused = method == QuantMethodDiffuse && w >= 4 && h >= 4 && (bits == 24 || bits == 32);
  if (holds && !diffused && std::memcmp(vector.Source.data(), picture.Pixels, size_t(picture.Size)) != 0)
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

}  // namespace fuzz
