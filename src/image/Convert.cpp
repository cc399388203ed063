// ImgConvert and ImgToIndexed: the depth conversion of a whole image, with
// the per-pixel converters of PixelFormats.h and, for a target of 8 bits,
// the palette optimiser (ImgQuantize, Mapping.h).
#include "image/Convert.h"

#include "image/Mapping.h"
#include "runtime/Errors.h"

void ImgToIndexed(ImageBuffer& source, ImageBuffer& target, int32_t method) {
  switch (method) {
    case ConvDiffuse:
      ImgQuantize(source, target, QuantMethodDiffuse);
      return;
    case ConvOrdered:
      ImgQuantize(source, target, QuantMethodOrdered);
      return;
    case ConvGrey:
      if (source.BitsPerPixel != 8) {
        PixelConverter grey = ConverterFor(source.BitsPerPixel, 8);
        if (grey) grey(source.Pixels, target.Pixels, source.Width * source.Height, source.BytesPerPixel, nullptr);
      }
      SetGreyRamp(target.Palette);
      return;
    default:
      ImgQuantize(source, target, QuantMethodNearest);
  }
}

void ImgConvert(ImageBuffer& source, ImageBuffer& target, int32_t bits, int32_t method) {
  MonRun([&] {
    bool inPlace = &source == &target;
    if (inPlace) {
      if (source.BitsPerPixel == bits || !ImgIsDepth(source.BitsPerPixel) || !ImgIsDepth(bits)) MonFail();
    } else if (source.BitsPerPixel == bits || !ImgIsDepth(bits)) {
      ImgCopy(source, target);
      MonFail();
    }
    if (!ImgHoldsPixels(source)) MonSetError(ErrImgInvalidFormat);
    ImageBuffer temp;
    ImgInit(temp);
    ImageBuffer& work = inPlace ? temp : target;
    ImgAlloc(work, source.Width, source.Height, bits);
    ImgSetGeometry(work, source.Width, source.Height, bits);
    if (!ImgIsDepth(source.BitsPerPixel)) {
      ImgCopy(source, target);
    } else if (bits == 8) {
      ImgToIndexed(source, work, method);
    } else {
      ConverterFor(source.BitsPerPixel, bits)(source.Pixels, work.Pixels, source.Width * source.Height,
                                              source.BytesPerPixel, source.Palette);
    }
    if (inPlace) {
      ImgSwap(source, temp);
      ImgFree(temp);
    }
  });
}
