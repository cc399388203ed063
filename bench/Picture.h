// Picture: the deterministic photo-like test pictures of the image
// benchmarks and of the side-by-side script (through ImageBench --picture).
//
// A picture is smooth gradients (linear and radial), a set of hard-edged
// shapes (discs and rectangles, each with its own shaded colour) and pixel
// noise of +-6 per channel, all in integer arithmetic from a fixed seed, so
// that every build makes the same bytes. At 1920 x 1080 it holds several
// hundred thousand distinct colours.
#pragma once

#include <cstdint>

#include "assets/SpiralPicture.h"
#include "image/ImageBuffer.h"

namespace picture {

inline uint32_t Hash(uint32_t x) { return SpiralScatter(x); }

inline uint8_t Clip(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

struct Shape {
  int32_t x0, y0, x1, y1;  // bounds; a disc uses the inscribed circle
  bool disc;
  int32_t r, g, b;
};

// Fills image (allocated here at 24 bits) with the picture of that size.
inline void Make(ImageBuffer& image, int32_t width, int32_t height) {
  ImgAlloc(image, width, height, 24);
  Shape shapes[24];
  uint32_t seed = 20261208u;
  for (Shape& s : shapes) {
    auto next = [&] { return seed = Hash(seed + 0x9E3779B9u); };
    int32_t w = int32_t(next() % uint32_t(width / 4 + 1)) + width / 16 + 1;
    int32_t h = int32_t(next() % uint32_t(height / 4 + 1)) + height / 16 + 1;
    s.x0 = int32_t(next() % uint32_t(width));
    s.y0 = int32_t(next() % uint32_t(height));
    s.x1 = s.x0 + w;
    s.y1 = s.y0 + h;
    s.disc = next() % 2 == 0;
    s.r = int32_t(next() % 256), s.g = int32_t(next() % 256), s.b = int32_t(next() % 256);
  }
  const int64_t cx = width / 3, cy = height / 2;
  const int64_t reach = int64_t(width) * width + int64_t(height) * height;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* p = image.Pixels + int64_t(y) * width * 3;
    for (int32_t x = 0; x < width; ++x, p += 3) {
      int64_t d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      int32_t r = int32_t(255 * int64_t(x) / width);
      int32_t g = int32_t(40 + 180 * int64_t(y) / height);
      int32_t b = int32_t(255 - 255 * d2 / reach * 2);
      for (const Shape& s : shapes) {
        if (x < s.x0 || x >= s.x1 || y < s.y0 || y >= s.y1) continue;
        if (s.disc) {
          int64_t rx = (s.x1 - s.x0) / 2 + 1, ry = (s.y1 - s.y0) / 2 + 1;
          int64_t dx = x - (s.x0 + rx), dy = y - (s.y0 + ry);
          if (dx * dx * ry * ry + dy * dy * rx * rx > rx * rx * ry * ry) continue;
        }
        int32_t shade = int32_t(64 * int64_t(x - s.x0) / (s.x1 - s.x0)) - 32;
        r = s.r + shade, g = s.g + shade / 2, b = s.b - shade;
      }
      uint32_t n = Hash(uint32_t(y) * 65537u + uint32_t(x));
      p[0] = Clip(b + int32_t(n % 13) - 6);
      p[1] = Clip(g + int32_t(n >> 8 & 15) % 13 - 6);
      p[2] = Clip(r + int32_t(n >> 16 & 15) % 13 - 6);
    }
  }
}

}  // namespace picture
