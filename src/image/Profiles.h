// Profiles: the description of an image operation (the depth it works in for
// each source depth, whether it may write into its own source, whether it
// works on the palette alone for 8-bit images, its parameter ranges) and the
// working set-up that OpBegin prepares from it and OpEnd finishes.
//
// Use (the scaler is operation 40):
//   OpProfile profile;  OpProfileFor(profile, 40);
//   OpJob job;          OpBegin(profile, job, &image, &image, w, h);
//   ... read job.SrcData / job.Work, write job.DstData / job.Out ...
//   OpEnd(job);         // always after a successful OpBegin
#pragma once

#include <cstdint>

#include "image/ImageBuffer.h"

struct OpParam {
  double Min, Max, Default;
};

struct OpProfile {
  int32_t OpType;
  int32_t Limits[4][2];  // (minimum, maximum) pairs, all 1..30000; read by nothing here
  int32_t WorkDepth8, WorkDepth15, WorkDepth16, WorkDepth24, WorkDepth32, WorkDepthOther;
  Bool32 InPlaceOK;      // may write its result into its own source
  Bool32 PaletteMode;    // for an 8-bit working image, processes the 256 palette entries
  Bool32 HasParams;
  Bool32 ConvertTarget;  // the target is converted in place to the working depth first
  Bool32 MatchDeeper;    // source and target meet at the deeper of the two depths
  int32_t ParamCount;    // highest described parameter index + 1
  OpParam Params[16];
};

struct OpJob {
  Bool32 FreeTemp;     // Temp holds pixels that OpEnd releases
  Bool32 PaletteOnly;  // the operation works on palettes
  Bool32 Indexed;      // the working image is 8-bit
  Bool32 SwapBack;     // the result is built in Temp and OpEnd exchanges it into the source
  int32_t SrcRowBytes, DstRowBytes, SrcBytes, DstBytes;
  int32_t SrcItems, DstItems;  // 256 palette entries, or pixels
  int32_t SrcPixelCount, DstPixelCount;
  int32_t SrcDataBytes, DstDataBytes;
  int32_t Width, Height;  // the requested output size
  int32_t ItemBytes;      // 3 for palette entries, else the working bytes per pixel
  ImageBuffer* Work;      // the working source: the source, or &Temp
  ImageBuffer* Out;       // the output: the target, or &Temp
  ImageBuffer Temp;
  uint8_t* SrcData;       // the working image's palette or pixels
  uint8_t* DstData;       // the output's palette or pixels
};

// The starting profile: every Limits pair 1..30000, work depth 24 for every
// source depth but 32 (which works in 32), in place allowed, no palette mode,
// no parameters.
void OpProfileInit(OpProfile& profile);
// depth 8, 15, 16, 24 or 32 sets that work depth, another non-zero depth sets
// WorkDepthOther; depth 0 with value 0 restores the identity (8, 15, 16, 24,
// 32, and 24 for other depths), depth 0 with another value sets all six.
void OpSetWorkDepth(OpProfile& profile, int32_t depth, int32_t value);
// Monitored. Describes parameter index (0..15; another index fails with
// "Cannot initialize image function." (7, 6) and changes nothing).
void OpSetParam(OpProfile& profile, int32_t index, double min, double max, double def);
// Monitored. OpSetParam for indices first .. first + count - 1.
void OpSetParams(OpProfile& profile, int32_t first, int32_t count, double min, double max, double def);
// Palette mode, and 8-bit sources work in 8 bits.
void OpUsePalette(OpProfile& profile);
// Monitored. The profile of an operation number; numbers without a profile of
// their own (negative ones, those above 44) get the starting profile.
void OpProfileFor(OpProfile& profile, int32_t type);

// The work depth the profile gives a source depth.
int32_t OpWorkDepth(const OpProfile& profile, int32_t depth);

// Monitored. Zeroes job and prepares it for an output of width x height from
// source into target (target may be source). Null source: the job stays zero.
// - A profile that may not work in place needs a target, else "Cannot
//   initialize image function." (7, 6) with no memory held. A source without
//   pixels is "Invalid image format." (7, 2), one of a depth outside the five
//   "Image format not supported." (7, 1).
// - A source of another depth than its work depth is converted into job.Temp
//   (the source itself is left alone); a profile that may not work in place,
//   given the source as target, builds its result in job.Temp.
// - An output that is not the working image is allocated at width x height
//   and the work depth; job's counts and data pointers describe both.
// - Conversion and allocation errors reach the caller; job.Temp holds no
//   block after a failure.
void OpBegin(const OpProfile& profile, OpJob& job, ImageBuffer* source, ImageBuffer* target, int32_t width,
             int32_t height);
// Monitored. Finishes a job: carries the pixels over when only the palette
// was processed, or the palette when only indices were, exchanges a result
// built in Temp into the source, releases Temp, and sets the output's width
// and height to the requested size. The output keeps the working depth.
void OpEnd(OpJob& job);
