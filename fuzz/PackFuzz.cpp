// Fuzz target: PackPixels then UnpackPixels on any pixels, alone and as the
// next frame of a previous picture that the input half matches, must give
// back the same bytes.
//
// Input: width (1 byte + 1), bytes per pixel selector, then the pixels; the
// height is what the rest of the input fills.
#include <cstdint>
#include <cstdlib>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz::PackHolds(data, size)) std::abort();
  return 0;
}
