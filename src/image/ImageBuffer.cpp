// The image record and its allocation, copying and exchange.
#include "image/ImageBuffer.h"

#include <utility>

#include "runtime/Errors.h"

void ImgInit(ImageBuffer& image) { std::memset(&image, 0, sizeof image); }

void ImgAlloc(ImageBuffer& image, int32_t width, int32_t height, int32_t bits, int32_t tag,
              const std::string& name) {
  MonRun([&] {
    if (!MemTest(image.Pixels)) {
      image.Pixels = nullptr;
      image.Size = image.Width = image.Height = image.BytesPerPixel = image.BitsPerPixel = 0;
    }
    int32_t bytes = (bits + 7) / 8;
    // The product is taken in 64 bits: one that does not fit 32 bits is an
    // invalid request, not a wrapped size, and so are two negative sides.
    int64_t size = int64_t(width) * height * bytes;
    bool valid = width > 0 && height > 0 && bits > 0 && size <= INT32_MAX;
    int32_t requested = valid ? int32_t(size) : -1;
    image.Size = requested;
    MemAlloc(image.Pixels, requested, tag, "(ImgAlloc):" + name);
    image.Width = width;
    image.Height = height;
    image.BytesPerPixel = bytes;
    image.BitsPerPixel = bits;
    image.ExternalPixels = False32;
  });
}

void ImgFree(ImageBuffer& image) {
  MemFree(image.Pixels);
  ImgInit(image);
}

bool ImgHasPixels(const ImageBuffer& image) {
  return MemTest(image.Pixels) || image.ExternalPixels != 0;
}

bool ImgHoldsPixels(const ImageBuffer& image) {
  int64_t needed = int64_t(image.Width) * image.Height * image.BytesPerPixel;
  return image.Pixels && image.Width > 0 && image.Height > 0 && image.BytesPerPixel > 0 &&
         needed <= image.Size && ImgHasPixels(image);
}

void ImgSetGeometry(ImageBuffer& image, int32_t width, int32_t height, int32_t bits) {
  image.Width = width;
  image.Height = height;
  image.BitsPerPixel = bits;
  image.BytesPerPixel = (bits + 7) / 8;
  if (image.ExternalPixels) {
    // A product past 32 bits describes no block: Size -1 holds nothing.
    int64_t size = int64_t(width) * height * image.BytesPerPixel;
    image.Size = size > INT32_MAX || size < 0 ? -1 : int32_t(size);
  }
}

void ImgCopyGeometry(const ImageBuffer& source, ImageBuffer& target) {
  if (&source == &target) return;
  target.Width = source.Width;
  target.Height = source.Height;
  target.BytesPerPixel = source.BytesPerPixel;
  target.BitsPerPixel = source.BitsPerPixel;
}

void ImgCopyPalette(const ImageBuffer& source, ImageBuffer& target) {
  MonRun([&] {
    if (&source != &target && source.BitsPerPixel == 8)
      MoveBytes(source.Palette, target.Palette, int32_t(sizeof source.Palette));
  });
}

void ImgCopyPixels(const ImageBuffer& source, ImageBuffer& target) {
  MonRun([&] {
    if (&source == &target) return;
    if (!ImgHoldsPixels(source)) MonSetError(ErrImgInvalidFormat);
    ImgAlloc(target, source.Width, source.Height, source.BitsPerPixel);
    MoveBytes(source.Pixels, target.Pixels, source.Width * source.Height * source.BytesPerPixel);
  });
}

void ImgCopy(const ImageBuffer& source, ImageBuffer& target) {
  if (&source == &target) return;
  ImgCopyGeometry(source, target);
  ImgCopyPixels(source, target);
  ImgCopyPalette(source, target);
}

void ImgSwap(ImageBuffer& first, ImageBuffer& second) {
  MonRun([&] {
    MemSwap(first.Pixels, second.Pixels);
    std::swap(first, second);
  });
}
