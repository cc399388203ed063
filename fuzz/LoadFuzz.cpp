// Fuzz target: ImgLoadFromMemory on any bytes with their exact length, into
// a fresh record and then again into the record holding the first result.
// Every call ends normally or with the library's error, and releases all.
#include <cstdint>
#include <cstdlib>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzz::LoadHolds(data, size)) std::abort();
  return 0;
}
