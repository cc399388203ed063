// spiral_picture: writes the spiral picture as the embedded block source, as
// PNG or as PPM.
//
//   spiral_picture block FILE.cpp          the 160 x 120 built-in block
//   spiral_picture png WIDTH HEIGHT FILE   an 8-bit RGB PNG
//   spiral_picture ppm WIDTH HEIGHT FILE   a binary PPM (P6)
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SpiralPicture.h"
#include "image/Pack.h"
#include "runtime/Errors.h"

namespace {

std::vector<uint8_t> RgbRows(const ImageBuffer& image) {
  std::vector<uint8_t> rgb(size_t(image.Width) * image.Height * 3);
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = image.Pixels[i + 2];
    rgb[i + 1] = image.Pixels[i + 1];
    rgb[i + 2] = image.Pixels[i];
  }
  return rgb;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
  for (int32_t s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBig32(out, uint32_t(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBig32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

std::vector<uint8_t> Png(const ImageBuffer& image) {
  std::vector<uint8_t> rgb = RgbRows(image), raw;
  size_t line = size_t(image.Width) * 3;
  for (int32_t y = 0; y < image.Height; ++y) {
    raw.push_back(0);  // no filter
    raw.insert(raw.end(), rgb.begin() + y * line, rgb.begin() + (y + 1) * line);
  }
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9);
  packed.resize(packedSize);

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, header;
  PutBig32(header, uint32_t(image.Width));
  PutBig32(header, uint32_t(image.Height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return out;
}

std::vector<uint8_t> Ppm(const ImageBuffer& image) {
  std::string head = "P6\n" + std::to_string(image.Width) + " " + std::to_string(image.Height) + "\n255\n";
  std::vector<uint8_t> out(head.begin(), head.end()), rgb = RgbRows(image);
  out.insert(out.end(), rgb.begin(), rgb.end());
  return out;
}

std::vector<uint8_t> BlockSource(const ImageBuffer& image) {
  uint8_t* block = nullptr;
  int32_t length = 0;
  ImgSaveToMemory(image, nullptr, false, block, length);
  std::string s =
      "// The built-in preview picture, written by assets/MakePicture.cpp\n"
      "// (spiral_picture block); regenerate it rather than edit it.\n"
      "#include \"assets/BuiltInPicture.h\"\n\n"
      "const uint8_t BuiltInPicture[BuiltInPictureBytes] = {\n";
  for (int32_t i = 0; i < length; ++i) {
    s += std::to_string(block[i]) + ",";
    s += (i % 24 == 23 || i == length - 1) ? "\n" : "";
  }
  s += "};\n";
  MemFree(block);
  return std::vector<uint8_t>(s.begin(), s.end());
}

}  // namespace

int main(int argc, char** argv) {
  std::string what = argc > 1 ? argv[1] : "";
  bool sized = (what == "png" || what == "ppm") && argc == 5;
  if (!(what == "block" && argc == 3) && !sized) {
    std::fprintf(stderr, "usage: spiral_picture block FILE.cpp | png|ppm WIDTH HEIGHT FILE\n");
    return 2;
  }
  ImageBuffer image;
  ImgInit(image);
  std::vector<uint8_t> out;
  try {
    if (sized) {
      MakeSpiralPicture(image, std::atoi(argv[2]), std::atoi(argv[3]));
      out = what == "png" ? Png(image) : Ppm(image);
    } else {
      MakeSpiralPicture(image, 160, 120);
      out = BlockSource(image);
    }
  } catch (const EMon& e) {
    std::fprintf(stderr, "spiral_picture: %s\n", e.what());
    return 1;
  }
  ImgFree(image);
  const char* name = argv[argc - 1];
  FILE* f = std::fopen(name, "wb");
  if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "spiral_picture: cannot write %s\n", name);
    return 1;
  }
  return 0;
}
