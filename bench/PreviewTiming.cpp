// The library's part of one preview paint at 152 x 112, as a paint does it
// from fresh records: the built-in picture loaded and scaled in place (what
// a true-colour device gets), and the same reduced to 8 bits with its
// optimised palette (what the drawing code adds on a palette device). Built
// natively (bench preset) and for Windows, so that the shipped program's
// figures under Wine stand beside the native ones.
#include "Timing.h"
#include "assets/BuiltInPicture.h"
#include "image/Convert.h"
#include "image/ImageBuffer.h"
#include "image/Load.h"
#include "image/Scale.h"

namespace {

constexpr int32_t PreviewWidth = 152, PreviewHeight = 112;

void LoadScale(bool palette) {
  ImageBuffer image, indexed;
  ImgInit(image);
  ImgInit(indexed);
  ImgLoadFromMemory(BuiltInPicture, BuiltInPictureBytes, image);
  ImgScale(image, image, PreviewWidth, PreviewHeight);
  if (palette) {
    ImgAlloc(indexed, PreviewWidth, PreviewHeight, 8);
    ImgToIndexed(image, indexed, ConvNearest);
  }
  ImgFree(indexed);
  ImgFree(image);
}

}  // namespace

int main() {
  Report("preview library, true colour", MedianMicros([] { LoadScale(false); }, 400));
  Report("preview library, palette device", MedianMicros([] { LoadScale(true); }, 200));
  return 0;
}
