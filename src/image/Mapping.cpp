// ImgQuantize, the mapping step and the mapping of an 8-bit source; the
// mappings of wider sources have a file each (MapNearest.cpp, MapOrdered.cpp,
// MapDiffuse.cpp).
#include "image/Mapping.h"

#include "image/PixelFormats.h"
#include "image/MappingInternal.h"
#include "image/QuantizeInternal.h"
#include "runtime/Errors.h"

void QuantMapIndexed(const ImageBuffer& source, ImageBuffer& target) {
  QuantTraced([&] {
    CopyPalette(target);
    QuantArea& a = *QuantWorkArea();
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = uint8_t(QuantLookup(a, CellOf(&source.Palette[i].Blue)));
    int32_t n = source.Width * source.Height;
    for (int32_t i = 0; i < n; ++i) target.Pixels[i] = table[source.Pixels[i]];
  });
}

void QuantMap(ImageBuffer& source, ImageBuffer& target, int32_t method) {
  ImageBuffer wide;
  ImgInit(wide);
  try {
    int32_t w = source.Width, h = source.Height;
    if (w < 4 || h < 4) method = QuantMethodNearest;
    ImgAlloc(target, w, h, 8);
    uint8_t* pixels = source.Pixels;
    int32_t step = source.BytesPerPixel;
    if (source.BitsPerPixel == 15 || source.BitsPerPixel == 16) {
      ImgAlloc(wide, w, h, 24);
      ConverterFor(source.BitsPerPixel, 24)(source.Pixels, wide.Pixels, w * h, 2, nullptr);
      pixels = wide.Pixels;
      step = 3;
    }
    switch (source.BitsPerPixel) {
      case 8:
        QuantMapIndexed(source, target);
        break;
      case 15:
      case 16:
      case 24:
      case 32:
        if (method == QuantMethodOrdered)
          QuantMapOrdered(pixels, w, h, step, target);
        else if (method == QuantMethodDiffuse)
          QuantMapDiffuse(pixels, w, h, step, target);
        else
          QuantMapNearest(pixels, w * h, step, target);
        break;
    }
  } catch (...) {
    TraceException();
  }
  ImgFree(wide);
}

void ImgQuantize(ImageBuffer& source, ImageBuffer& target, int32_t method) {
  MonRun([&] {
    if (&source == &target) MonSetError(ErrImgCannotInitFunction);
    if (!ImgIsDepth(source.BitsPerPixel) || !ImgHoldsPixels(source))
      MonSetError(ErrImgInvalidFormat);
    QuantPrepare();
    QuantCount(source);
    QuantBuild(256);
    QuantMap(source, target, method);
    QuantRelease();
  });
}
