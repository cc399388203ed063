// make_corpus: writes the seed corpus of the fuzz targets: picture blocks
// made by ImgSaveToMemory (raw and packed, every depth, frames with skips)
// for LoadFuzz, size requests for ScaleFuzz and QuantizeFuzz. (The pictures
// of PackFuzz, fuzz/corpus/pack, are plain pixel bytes.)
//
//   make_corpus LOAD_DIR SCALE_DIR QUANTIZE_DIR
#include <cstdio>
#include <string>
#include <vector>

#include "assets/SpiralPicture.h"
#include "image/ImageBuffer.h"
#include "image/Pack.h"
#include "runtime/Errors.h"

namespace {

bool Write(const std::string& name, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(name.c_str(), "wb");
  bool ok = f && std::fwrite(data, 1, size, f) == size;
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "make_corpus: cannot write %s\n", name.c_str());
  return ok;
}

// The spiral re-described at 1, 2, 3 or 4 bytes per pixel.
void Picture(ImageBuffer& image, int32_t w, int32_t h, int32_t bpp) {
  ImageBuffer spiral;
  ImgInit(spiral);
  MakeSpiralPicture(spiral, w, h * bpp);
  ImgAlloc(image, w, h, 8 * bpp);
  MoveBytes(spiral.Pixels, image.Pixels, w * h * bpp);
  for (int32_t i = 0; i < 256; ++i) image.Palette[i] = PaletteEntry{uint8_t(i), uint8_t(i / 2), uint8_t(255 - i)};
  ImgFree(spiral);
}

bool SaveBlock(const std::string& name, const ImageBuffer& image, const ImageBuffer* previous, bool packed) {
  uint8_t* block = nullptr;
  int32_t length = 0;
  ImgSaveToMemory(image, previous, packed, block, length);
  bool ok = Write(name, block, size_t(length));
  MemFree(block);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_corpus LOAD_DIR SCALE_DIR QUANTIZE_DIR\n");
    return 2;
  }
  std::string load = argv[1], scale = argv[2], quantize = argv[3];
  bool ok = true;
  const int32_t sizes[][2] = {{1, 1}, {5, 3}, {16, 12}, {33, 7}, {70, 2}};
  for (int32_t bpp = 1; bpp <= 4; ++bpp)
    for (const auto& s : sizes) {
      ImageBuffer image;
      ImgInit(image);
      Picture(image, s[0], s[1], bpp);
      std::string stem = load + "/" + std::to_string(s[0]) + "x" + std::to_string(s[1]) + "x" + std::to_string(bpp);
      ok = SaveBlock(stem + "-packed", image, nullptr, true) && ok;
      if (s[0] * s[1] <= 16 * 12) ok = SaveBlock(stem + "-raw", image, nullptr, false) && ok;
      // The next frame: a band of the picture changed, the rest skipped.
      ImageBuffer next;
      ImgInit(next);
      ImgCopy(image, next);
      int32_t line = s[0] * bpp;
      for (int32_t i = line / 3; i < line * s[1]; i += line) next.Pixels[i] ^= 0x5A;
      ok = SaveBlock(stem + "-frame", next, &image, true) && ok;
      ImgFree(next);
      ImgFree(image);
    }
  // Scale requests: source width, height, target width, height (16 bits
  // each, little-endian), depth selector, then picture seed bytes.
  const uint16_t requests[][4] = {{160, 120, 152, 112}, {6, 6, 4, 4}, {5, 5, 2, 2}, {4, 4, 8, 8},
                                  {4, 4, 7, 7},         {4, 4, 6, 6}, {3, 9, 2, 40}, {300, 2, 1, 1},
                                  {1, 1, 250, 3},       {17, 200, 90, 6}};
  for (int32_t depth = 0; depth < 5; ++depth)
    for (const auto& r : requests) {
      std::vector<uint8_t> bytes;
      for (uint16_t v : r) bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8)});
      bytes.push_back(uint8_t(depth));
      for (int32_t i = 0; i < 24; ++i) bytes.push_back(uint8_t(i * 37 + depth));
      std::string name = scale + "/" + std::to_string(r[0]) + "x" + std::to_string(r[1]) + "-" +
                         std::to_string(r[2]) + "x" + std::to_string(r[3]) + "-d" + std::to_string(depth);
      ok = Write(name, bytes.data(), bytes.size()) && ok;
    }
  // Quantize requests: width - 1 and height - 1 (a byte each), depth
  // selector, method, then picture seed bytes: sizes at the edges of the
  // diffusion's pairs of rows and of its vector interior.
  const uint8_t pictures[][2] = {{159, 119}, {3, 3}, {2, 9}, {10, 4}, {13, 6}, {36, 22}, {255, 40}};
  for (int32_t depth = 0; depth < 5; ++depth)
    for (int32_t method = 0; method < 3; ++method)
      for (const auto& p : pictures) {
        std::vector<uint8_t> bytes = {p[0], p[1], uint8_t(depth), uint8_t(method)};
        for (int32_t i = 0; i < 16; ++i) bytes.push_back(uint8_t(i * 53 + depth * 11 + method));
        std::string name = quantize + "/" + std::to_string(p[0] + 1) + "x" + std::to_string(p[1] + 1) + "-d" +
                           std::to_string(depth) + "-m" + std::to_string(method);
        ok = Write(name, bytes.data(), bytes.size()) && ok;
      }
  return ok ? 0 : 1;
}
