// picblock: turns a PPM (P6, 8 bits) or BMP (uncompressed 8, 24 or 32 bits)
// picture into a picture block, raw or packed, and a block back into a
// picture.
//
//   picblock pack IN.ppm|IN.bmp OUT.blk [--raw] [--previous PREV.ppm|PREV.bmp]
//   picblock unpack IN.blk OUT.ppm|OUT.bmp
//
// pack prints the block's size and its pixels' share of the raw size. An
// 8-bit BMP becomes a block with its palette; unpack writes 8- and 32-bit
// blocks as BMP of their depth and everything else at 24 bits.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "image/Convert.h"
#include "image/ImageBuffer.h"
#include "image/Load.h"
#include "image/Pack.h"
#include "runtime/Errors.h"

namespace {

struct Failure {
  std::string Text;
};

std::vector<uint8_t> ReadFile(const std::string& name) {
  FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) throw Failure{"cannot open " + name};
  std::vector<uint8_t> data;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
  std::fclose(f);
  return data;
}

void WriteFile(const std::string& name, const std::vector<uint8_t>& data) {
  FILE* f = std::fopen(name.c_str(), "wb");
  bool ok = f && std::fwrite(data.data(), 1, data.size(), f) == data.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) throw Failure{"cannot write " + name};
}

bool EndsWith(const std::string& s, const char* tail) {
  size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

uint32_t Le(const std::vector<uint8_t>& d, size_t at, int32_t bytes) {
  if (at + bytes > d.size()) throw Failure{"BMP header cut short"};
  uint32_t v = 0;
  for (int32_t i = bytes - 1; i >= 0; --i) v = v << 8 | d[at + i];
  return v;
}

void PutLe(std::vector<uint8_t>& d, uint32_t v, int32_t bytes) {
  for (int32_t i = 0; i < bytes; ++i) d.push_back(uint8_t(v >> (8 * i)));
}

bool Sensible(int64_t w, int64_t h) { return w >= 1 && h >= 1 && w <= 65535 && h <= 65535; }

// ------------------------------------------------------------------ PPM

void ReadPpm(const std::vector<uint8_t>& d, ImageBuffer& image) {
  size_t at = 2;
  auto number = [&] {
    while (at < d.size() && (std::isspace(d[at]) || d[at] == '#')) {
      if (d[at] == '#')
        while (at < d.size() && d[at] != '\n') ++at;
      else
        ++at;
    }
    int64_t v = 0;
    bool any = false;
    while (at < d.size() && d[at] >= '0' && d[at] <= '9' && v < 1000000) v = v * 10 + (d[at++] - '0'), any = true;
    if (!any) throw Failure{"PPM header invalid"};
    return v;
  };
  int64_t w = number(), h = number(), most = number();
  ++at;  // the one white-space byte before the pixels
  if (!Sensible(w, h) || most != 255) throw Failure{"only 8-bit P6 pictures are read"};
  if (d.size() < at + size_t(w * h * 3)) throw Failure{"PPM pixels cut short"};
  ImgAlloc(image, int32_t(w), int32_t(h), 24);
  for (int64_t i = 0; i < w * h; ++i) {
    image.Pixels[3 * i] = d[at + 3 * i + 2];
    image.Pixels[3 * i + 1] = d[at + 3 * i + 1];
    image.Pixels[3 * i + 2] = d[at + 3 * i];
  }
}

std::vector<uint8_t> WritePpm(const ImageBuffer& image) {
  std::string head = "P6\n" + std::to_string(image.Width) + " " + std::to_string(image.Height) + "\n255\n";
  std::vector<uint8_t> d(head.begin(), head.end());
  for (int64_t i = 0; i < int64_t(image.Width) * image.Height; ++i)
    d.insert(d.end(), {image.Pixels[3 * i + 2], image.Pixels[3 * i + 1], image.Pixels[3 * i]});
  return d;
}

// ------------------------------------------------------------------ BMP

void ReadBmp(const std::vector<uint8_t>& d, ImageBuffer& image) {
  uint32_t offset = Le(d, 10, 4), headerSize = Le(d, 14, 4);
  int32_t w = int32_t(Le(d, 18, 4)), h = int32_t(Le(d, 22, 4));
  uint32_t bits = Le(d, 28, 2), compression = Le(d, 30, 4);
  bool topDown = h < 0;
  int64_t rows = topDown ? -int64_t(h) : h;
  if (!Sensible(w, rows) || (bits != 8 && bits != 24 && bits != 32) || compression != 0)
    throw Failure{"only uncompressed 8-, 24- and 32-bit BMP pictures are read"};
  int64_t stride = (int64_t(w) * bits / 8 + 3) / 4 * 4;
  if (d.size() < offset + size_t(stride * rows)) throw Failure{"BMP pixels cut short"};
  ImgAlloc(image, w, int32_t(rows), int32_t(bits));
  if (bits == 8) {
    uint32_t colours = Le(d, 46, 4);
    if (colours == 0 || colours > 256) colours = 256;
    size_t table = 14 + headerSize;
    for (uint32_t i = 0; i < colours; ++i)
      image.Palette[i] = PaletteEntry{uint8_t(Le(d, table + 4 * i, 1)), uint8_t(Le(d, table + 4 * i + 1, 1)),
                                      uint8_t(Le(d, table + 4 * i + 2, 1))};
  }
  int64_t line = int64_t(w) * image.BytesPerPixel;
  for (int64_t y = 0; y < rows; ++y) {
    int64_t from = topDown ? y : rows - 1 - y;
    std::memcpy(image.Pixels + y * line, d.data() + offset + from * stride, size_t(line));
  }
}

std::vector<uint8_t> WriteBmp(const ImageBuffer& image) {
  int32_t bpp = image.BytesPerPixel;
  int64_t line = int64_t(image.Width) * bpp, stride = (line + 3) / 4 * 4;
  uint32_t table = bpp == 1 ? 1024 : 0, offset = 54 + table;
  std::vector<uint8_t> d = {'B', 'M'};
  PutLe(d, uint32_t(offset + stride * image.Height), 4);
  PutLe(d, 0, 4);
  PutLe(d, offset, 4);
  PutLe(d, 40, 4);
  PutLe(d, uint32_t(image.Width), 4);
  PutLe(d, uint32_t(image.Height), 4);
  PutLe(d, 1, 2);
  PutLe(d, uint32_t(bpp * 8), 2);
  PutLe(d, 0, 4);
  PutLe(d, uint32_t(stride * image.Height), 4);
  PutLe(d, 2835, 4);
  PutLe(d, 2835, 4);
  PutLe(d, bpp == 1 ? 256 : 0, 4);
  PutLe(d, 0, 4);
  for (uint32_t i = 0; i < table / 4; ++i)
    d.insert(d.end(), {image.Palette[i].Blue, image.Palette[i].Green, image.Palette[i].Red, 0});
  for (int64_t y = image.Height - 1; y >= 0; --y) {
    d.insert(d.end(), image.Pixels + y * line, image.Pixels + (y + 1) * line);
    d.insert(d.end(), size_t(stride - line), 0);
  }
  return d;
}

void ReadPicture(const std::string& name, ImageBuffer& image) {
  std::vector<uint8_t> d = ReadFile(name);
  if (d.size() >= 2 && d[0] == 'P' && d[1] == '6')
    ReadPpm(d, image);
  else if (d.size() >= 2 && d[0] == 'B' && d[1] == 'M')
    ReadBmp(d, image);
  else
    throw Failure{name + " is neither a P6 PPM nor a BMP picture"};
}

int Pack(const std::vector<std::string>& args) {
  std::string in, out, previousName;
  bool raw = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--raw") raw = true;
    else if (args[i] == "--previous" && i + 1 < args.size()) previousName = args[++i];
    else if (in.empty()) in = args[i];
    else if (out.empty()) out = args[i];
    else return 2;
  }
  if (out.empty()) return 2;
  ImageBuffer image, previous;
  ImgInit(image);
  ImgInit(previous);
  ReadPicture(in, image);
  if (!previousName.empty()) ReadPicture(previousName, previous);
  uint8_t* block = nullptr;
  int32_t length = 0;
  ImgSaveToMemory(image, previousName.empty() ? nullptr : &previous, !raw, block, length);
  WriteFile(out, std::vector<uint8_t>(block, block + length));
  int32_t header = image.BytesPerPixel == 1 ? PictureHeaderBytes + PicturePaletteBytes : PictureHeaderBytes;
  std::printf("%s: %d x %d, %d bytes per pixel, %d bytes; pixels %.3f of raw\n", out.c_str(), image.Width,
              image.Height, image.BytesPerPixel, length,
              double(length - header) / (double(image.Width) * image.Height * image.BytesPerPixel));
  MemFree(block);
  ImgFree(image);
  ImgFree(previous);
  return 0;
}

int Unpack(const std::string& in, const std::string& out) {
  std::vector<uint8_t> block = ReadFile(in);
  if (block.size() > size_t(INT32_MAX)) throw Failure{in + " is too large"};
  ImageBuffer image, wide;
  ImgInit(image);
  ImgInit(wide);
  ImgLoadFromMemory(block.data(), int32_t(block.size()), image);
  bool bmp = EndsWith(out, ".bmp") || EndsWith(out, ".BMP");
  bool keep = image.BitsPerPixel == 24 || (bmp && (image.BitsPerPixel == 8 || image.BitsPerPixel == 32));
  if (!keep) ImgConvert(image, wide, 24);
  const ImageBuffer& picture = keep ? image : wide;
  WriteFile(out, bmp ? WriteBmp(picture) : WritePpm(picture));
  ImgFree(image);
  ImgFree(wide);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int rc = 2;
  try {
    if (!args.empty() && args[0] == "pack")
      rc = Pack(std::vector<std::string>(args.begin() + 1, args.end()));
    else if (args.size() == 3 && args[0] == "unpack")
      rc = Unpack(args[1], args[2]);
  } catch (const Failure& f) {
    std::fprintf(stderr, "picblock: %s\n", f.Text.c_str());
    return 1;
  } catch (const EMon& e) {
    std::fprintf(stderr, "picblock: %s\n", e.what());
    return 1;
  }
  if (rc == 2)
    std::fprintf(stderr,
                 "usage: picblock pack IN.ppm|IN.bmp OUT.blk [--raw] [--previous PREV.ppm|PREV.bmp]\n"
                 "       picblock unpack IN.blk OUT.ppm|OUT.bmp\n");
  return rc;
}
