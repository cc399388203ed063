// Fuzz target: ImgQuantize with every method on pictures of every depth and
// of sizes around the edges of the mapping loops, pixels from the input. The
// picture is quantised with the plain loops and with each tier's loops that
// the processor has: all must give the same indices, palette and source
// afterwards. Checks
// that the target has the source's size, that the source is unchanged
// except by diffusion on 24 and 32 bits, and that nothing leaks.
//
// Input: width and height (8 bits each, 1 + value), a depth selector, a
// method selector, then bytes that seed the pixels.
#include <cstdint>
#include <cstdlib>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz::QuantizeHolds(data, size)) std::abort();
  return 0;
}
