// Fuzz target: PackPixels then UnpackPixels on any pixels, alone and as the
// next frame of a previous picture that the input half matches, must give
// back the same bytes.
//
// Input: width (1 byte + 1), bytes per pixel selector, then the pixels; the
// height is what the rest of the input fills.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/Load.h"
#include "image/Pack.h"
#include "runtime/Basic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  int32_t width = data[0] + 1, bpp = data[1] % 4 + 1;
  int32_t line = width * bpp, height = int32_t((size - 2) / size_t(line));
  if (height < 1) return 0;
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
    if (std::memcmp(target.data(), pixels, bytes) != 0) std::abort();
    if (int64_t(packed.size()) > int64_t(bytes) * 10 / 8 + 3) std::abort();
  }
  if (MemCount() != 0) std::abort();
  return 0;
}
