// Fuzz target: ImgScale on sizes within and just outside its limits, every
// source depth, pixels from the input. Checks the output's size and depth,
// that a call outside the limits is "Out of range.", that nothing leaks, and
// for small 24- and 32-bit pictures the exact bytes of the plain loops.
//
// Input: source width, height, target width, height (16 bits each,
// little-endian), a depth selector, then bytes that seed the pixels.
#include <cstdint>
#include <cstdlib>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz::ScaleHolds(data, size)) std::abort();
  return 0;
}
