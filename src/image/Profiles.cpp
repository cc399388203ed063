// Operation profiles and the working set-up of an image operation.
#include "image/Profiles.h"

#include <cstring>

#include "image/Convert.h"
#include "runtime/Errors.h"

namespace {

void NotInPlace(OpProfile& p) { p.InPlaceOK = False32; }
void IdentityDepths(OpProfile& p) { OpSetWorkDepth(p, 0, 0); }

// Width x height x bytes as a byte count of the job; a product past 32 bits
// cannot be described.
int32_t JobBytes(int64_t width, int64_t height, int64_t bytes) {
  int64_t n = width * height * bytes;
  if (width < 0 || height < 0 || n > INT32_MAX) MonSetError(ErrImgCannotInitFunction);
  return int32_t(n);
}

}  // namespace

void OpProfileInit(OpProfile& profile) {
  std::memset(&profile, 0, sizeof profile);
  for (auto& pair : profile.Limits) pair[0] = 1, pair[1] = 30000;
  OpSetWorkDepth(profile, 0, 24);
  OpSetWorkDepth(profile, 32, 32);
  profile.InPlaceOK = True32;
  profile.PaletteMode = False32;
}

void OpSetWorkDepth(OpProfile& profile, int32_t depth, int32_t value) {
  switch (depth) {
    case 8:
      profile.WorkDepth8 = value;
      break;
    case 15:
      profile.WorkDepth15 = value;
      break;
    case 16:
      profile.WorkDepth16 = value;
      break;
    case 24:
      profile.WorkDepth24 = value;
      break;
    case 32:
      profile.WorkDepth32 = value;
      break;
    case 0:
      if (value == 0) {
        profile.WorkDepth8 = 8, profile.WorkDepth15 = 15, profile.WorkDepth16 = 16;
        profile.WorkDepth24 = 24, profile.WorkDepth32 = 32, profile.WorkDepthOther = 24;
      } else {
        profile.WorkDepth8 = profile.WorkDepth15 = profile.WorkDepth16 = value;
        profile.WorkDepth24 = profile.WorkDepth32 = profile.WorkDepthOther = value;
      }
      break;
    default:
      profile.WorkDepthOther = value;
  }
}

int32_t OpWorkDepth(const OpProfile& profile, int32_t depth) {
  switch (depth) {
    case 8:
      return profile.WorkDepth8;
    case 15:
      return profile.WorkDepth15;
    case 16:
      return profile.WorkDepth16;
    case 24:
      return profile.WorkDepth24;
    case 32:
      return profile.WorkDepth32;
    default:
      return profile.WorkDepthOther;
  }
}

void OpSetParam(OpProfile& profile, int32_t index, double min, double max, double def) {
  MonRun([&] {
    if (index < 0 || index >= 16) MonSetError(ErrImgCannotInitFunction);
    profile.Params[index] = OpParam{min, max, def};
    if (profile.ParamCount < index + 1) profile.ParamCount = index + 1;
    profile.HasParams = True32;
  });
}

void OpSetParams(OpProfile& profile, int32_t first, int32_t count, double min, double max, double def) {
  MonRun([&] {
    for (int32_t i = 0; i < count; ++i) OpSetParam(profile, first + i, min, max, def);
  });
}

void OpUsePalette(OpProfile& profile) {
  profile.PaletteMode = True32;
  profile.WorkDepth8 = 8;
}

void OpProfileFor(OpProfile& profile, int32_t type) {
  MonRun([&] {
    OpProfileInit(profile);
    profile.OpType = type;
    OpProfile& p = profile;
    switch (type) {
      case 1:
      case 3:
      case 5:
        OpUsePalette(p);
        OpSetParams(p, 0, 3, -100, 100, 0);
        break;
      case 2:
      case 8:
      case 9:
      case 11:
      case 27:
      case 28:
      case 31:
      case 40:
        NotInPlace(p);
        break;
      case 4:
        p.WorkDepth8 = 8;
        OpSetParam(p, 0, 1, 10, 1);
        NotInPlace(p);
        break;
      case 7:
        OpSetParam(p, 0, 1, 254, 1);
        NotInPlace(p);
        break;
      case 10:
      case 15:
      case 30:
      case 44:
        OpUsePalette(p);
        break;
      case 12:
      case 13:
      case 17:
      case 18:
      case 41:
        IdentityDepths(p);
        break;
      case 14:
        OpUsePalette(p);
        OpSetParams(p, 0, 3, 0.01, 5, 1);
        break;
      case 16:
        OpUsePalette(p);
        OpSetParam(p, 0, -180, 180, 0);
        break;
      case 19:
        OpUsePalette(p);
        IdentityDepths(p);
        break;
      case 20:
      case 21:
      case 22:
        OpSetParams(p, 0, 3, 1, 100, 1);
        break;
      case 23:
        OpSetParam(p, 0, 1, 7, 1);
        NotInPlace(p);
        break;
      case 24:
        OpSetParams(p, 0, 2, 2, 64, 2);
        break;
      case 25:
        OpUsePalette(p);
        OpSetParams(p, 0, 3, 1, 255, 1);
        break;
      case 26:
        OpUsePalette(p);
        OpSetParam(p, 0, -100, 100, 0);
        break;
      case 29:
        OpUsePalette(p);
        OpSetParams(p, 0, 3, 1, 255, 128);
        break;
      case 32:
        OpUsePalette(p);
        OpSetParams(p, 0, 3, 0, 255, 255);
        break;
      case 33:
        OpSetParam(p, 0, 1, 100, 50);
        p.MatchDeeper = True32;
        NotInPlace(p);
        break;
      case 34:
        p.ConvertTarget = True32;
        break;
      case 38:
        IdentityDepths(p);
        NotInPlace(p);
        p.ConvertTarget = True32;
        break;
      case 39:
      case 42:
        IdentityDepths(p);
        NotInPlace(p);
        break;
      case 43:
        IdentityDepths(p);
        NotInPlace(p);
        p.MatchDeeper = True32;
        break;
      default:  // 0, 6, 35, 36, 37, above 44, negative: the starting profile
        break;
    }
  });
}

void OpBegin(const OpProfile& profile, OpJob& job, ImageBuffer* source, ImageBuffer* target, int32_t width,
             int32_t height) {
  try {
    MonRun([&] {
      std::memset(&job, 0, sizeof job);
      if (!target && !profile.InPlaceOK) MonSetError(ErrImgCannotInitFunction);
      if (!source) return;
      // A profile that may work in place and is given no target works on the
      // source itself.
      if (!target) target = source;
      if (!ImgHoldsPixels(*source)) MonSetError(ErrImgInvalidFormat);
      // A depth outside the five cannot be converted to a work depth.
      if (!ImgIsDepth(source->BitsPerPixel)) MonSetError(ErrImgNotSupported);
      int32_t w = OpWorkDepth(profile, source->BitsPerPixel);
      if (!ImgIsDepth(w)) MonSetError(ErrImgCannotInitFunction);
      // Only a target that holds an image of a known depth is converted (a
      // conversion with nothing to do would mark this section failed).
      bool convertible = ImgIsDepth(target->BitsPerPixel) && ImgHoldsPixels(*target);
      if (profile.MatchDeeper && target->BitsPerPixel != w) {
        if (target->BitsPerPixel < w) {
          if (convertible) ImgConvert(*target, *target, w, ConvNearest);
        } else if (ImgIsDepth(target->BitsPerPixel)) {
          w = target->BitsPerPixel;
        }
      } else if (profile.ConvertTarget && target->BitsPerPixel != w && convertible) {
        ImgConvert(*target, *target, w, ConvNearest);
      }
      if (source->BitsPerPixel != w) {
        ImgConvert(*source, job.Temp, w, ConvNearest);
        job.Work = &job.Temp;
        job.FreeTemp = True32;
        job.Out = target;
      } else if (!profile.InPlaceOK && target == source) {
        ImgAlloc(job.Temp, width, height, w);
        job.FreeTemp = job.SwapBack = True32;
        job.Work = source;
        job.Out = &job.Temp;
      } else {
        job.Work = source;
        job.Out = target;
      }
      ImageBuffer& work = *job.Work;
      ImageBuffer& out = *job.Out;
      if (&work != &out) {
        ImgAlloc(out, width, height, w);
        ImgSetGeometry(out, width, height, w);
      }
      job.SrcRowBytes = JobBytes(work.Width, 1, work.BytesPerPixel);
      job.SrcBytes = JobBytes(work.Width, work.Height, work.BytesPerPixel);
      job.DstRowBytes = JobBytes(width, 1, out.BytesPerPixel);
      job.DstBytes = JobBytes(width, height, out.BytesPerPixel);
      job.SrcPixelCount = JobBytes(work.Width, work.Height, 1);
      job.DstPixelCount = JobBytes(width, height, 1);
      job.Width = width;
      job.Height = height;
      if (profile.PaletteMode && work.BitsPerPixel == 8) {
        job.SrcItems = job.DstItems = 256;
        job.ItemBytes = 3;
        job.SrcData = &work.Palette[0].Blue;
        job.DstData = &out.Palette[0].Blue;
        job.SrcDataBytes = job.DstDataBytes = 768;
        job.PaletteOnly = True32;
      } else {
        job.SrcItems = job.SrcPixelCount;
        job.DstItems = job.DstPixelCount;
        job.ItemBytes = work.BytesPerPixel;
        job.SrcData = work.Pixels;
        job.DstData = out.Pixels;
        job.SrcDataBytes = job.SrcBytes;
        job.DstDataBytes = job.DstBytes;
        job.PaletteOnly = False32;
      }
      job.Indexed = work.BitsPerPixel == 8 ? True32 : False32;
    });
  } catch (...) {
    // The failing section has freed what it allocated, Temp's block too: a
    // zero job holds nothing that OpEnd could release twice.
    std::memset(&job, 0, sizeof job);
    throw;
  }
}

void OpEnd(OpJob& job) {
  MonRun([&] {
    if (!job.Work || !job.Out) return;
    if (job.PaletteOnly)
      ImgCopyPixels(*job.Work, *job.Out);
    else if (job.Indexed)
      ImgCopyPalette(*job.Work, *job.Out);
    if (job.SwapBack) ImgSwap(*job.Work, job.Temp);
    if (job.FreeTemp) ImgFree(job.Temp);
    job.Out->Width = job.Width;
    job.Out->Height = job.Height;
  });
}
