// The pixel formats written out plainly, one pixel at a time: the yardstick
// for the converters.
#pragma once

#include <cstdint>
#include <vector>

#include "../ImageFixture.h"

namespace ref {

struct Rgb {
  int r, g, b;
};

// The plain rules, one pixel at a time: decode to 8-bit channels (widening
// with zero low bits), encode by dropping low bits.
inline Rgb Decode(const Image& img, int32_t i) {
  const uint8_t* p = img.Pixels + i * img.BytesPerPixel;
  switch (img.BitsPerPixel) {
    case 8: {
      const PaletteEntry& e = img.Palette[p[0]];
      return {e.Red, e.Green, e.Blue};
    }
    case 15: {
      int w = img.Word(i);
      return {(w >> 10 & 31) * 8, (w >> 5 & 31) * 8, (w & 31) * 8};
    }
    case 16: {
      int w = img.Word(i);
      return {(w >> 11) * 8, (w >> 5 & 63) * 4, (w & 31) * 8};
    }
    default:
      return {p[2], p[1], p[0]};
  }
}

inline std::vector<uint8_t> Encode(Rgb c, int32_t bits) {
  switch (bits) {
    case 15: {
      int w = (c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3;
      return {uint8_t(w), uint8_t(w >> 8)};
    }
    case 16: {
      int w = (c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3;
      return {uint8_t(w), uint8_t(w >> 8)};
    }
    case 24:
      return {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r)};
    default:
      return {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r), 0};
  }
}

inline std::vector<uint8_t> Reference(const Image& img, int32_t bits) {
  std::vector<uint8_t> out;
  for (int32_t i = 0; i < img.Width * img.Height; ++i) {
    std::vector<uint8_t> px = Encode(Decode(img, i), bits);
    out.insert(out.end(), px.begin(), px.end());
  }
  return out;
}

// Grey levels by the plain rule: the sum of the widened channels over 3.
inline std::vector<uint8_t> GreyReference(const Image& img) {
  std::vector<uint8_t> out;
  for (int32_t i = 0; i < img.Width * img.Height; ++i) {
    Rgb c = Decode(img, i);
    if (img.BitsPerPixel == 15) c = {c.r + 7, c.g | 14, c.b + 7};
    if (img.BitsPerPixel == 16) c = {c.r + 7, c.g | 6, c.b + 7};
    out.push_back(uint8_t((c.r + c.g + c.b) / 3));
  }
  return out;
}

}  // namespace ref
