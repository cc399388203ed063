// Fuzz target: ImgLoadFromMemory on any bytes with their exact length, into
// a fresh record and then again into the record holding the first result.
// Every call ends normally or with the library's error, and releases all.
#include <cstdint>
#include <cstdlib>

#include "image/ImageBuffer.h"
#include "image/Load.h"
#include "runtime/Errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > INT32_MAX) return 0;
  ImageBuffer image;
  ImgInit(image);
  for (int32_t pass = 0; pass < 2; ++pass) {
    try {
      ImgLoadFromMemory(data, int32_t(size), image);
      if (image.Width < 1 || image.Height < 1 || !ImgHasPixels(image)) std::abort();
    } catch (const EMon&) {
      ErrorPair e = LastError();
      if (e.Category != 7 || (e.Code != ImgHeaderInvalid && e.Code != ImgDataCorrupted)) std::abort();
    }
  }
  ImgFree(image);
  if (MemCount() != 0) std::abort();
  return 0;
}
