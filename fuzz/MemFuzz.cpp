// Fuzz target: the tracked memory in random sequences of allocations,
// resizes, frees, swaps, MemFreeAbove, failing monitored sections and heap
// refusals, with released blocks kept, against a plain model of the table
// and of the kept blocks. Checks the result codes, the table's entries and
// owners, the slots, the blocks' contents and bounds, the kept blocks, and
// that everything is released at the end.
//
// Input: steps. A step's first byte chooses the operation (low three bits:
// 0 and 7 allocate or resize, 1 frees, 2 swaps with the slot of the next
// byte, 3 frees above the mark of the next byte, 4 runs up to six steps in
// a section that fails, 5 sets the heap's refusals or switches keeping,
// 6 lets the slot hold another slot's address) and the slot (the bits
// above, modulo 6). A size is a kind byte, then up to two bytes.
#include <cstdint>
#include <cstdlib>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz::MemHolds(data, size)) std::abort();
  return 0;
}
