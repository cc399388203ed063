// Operation profiles and the working set-up.
#include <gtest/gtest.h>

#include "ImageFixture.h"
#include "image/Profiles.h"

using Profiles = ImageFixture;

TEST_F(Profiles, StartingProfile) {
  for (int32_t type : {0, 6, 35, 36, 37, 45, 1000, -1}) {
    OpProfile p;
    OpProfileFor(p, type);
    EXPECT_EQ(p.OpType, type);
    EXPECT_EQ(p.WorkDepth8, 24);
    EXPECT_EQ(p.WorkDepth15, 24);
    EXPECT_EQ(p.WorkDepth16, 24);
    EXPECT_EQ(p.WorkDepth24, 24);
    EXPECT_EQ(p.WorkDepth32, 32);
    EXPECT_EQ(p.WorkDepthOther, 24);
    EXPECT_TRUE(p.InPlaceOK);
    EXPECT_FALSE(p.PaletteMode);
    EXPECT_FALSE(p.HasParams);
    EXPECT_EQ(p.ParamCount, 0);
    for (auto& pair : p.Limits) {
      EXPECT_EQ(pair[0], 1);
      EXPECT_EQ(pair[1], 30000);
    }
  }
}

TEST_F(Profiles, TableOfTypes) {
  struct Case {
    int32_t type;
    bool inPlace, palette, convertTarget, matchDeeper, identity;
    int32_t depth8, params;
    double min, max, def;
  } cases[] = {
      {1, true, true, false, false, false, 8, 3, -100, 100, 0},
      {5, true, true, false, false, false, 8, 3, -100, 100, 0},
      {2, false, false, false, false, false, 24, 0, 0, 0, 0},
      {40, false, false, false, false, false, 24, 0, 0, 0, 0},
      {4, false, false, false, false, false, 8, 1, 1, 10, 1},
      {7, false, false, false, false, false, 24, 1, 1, 254, 1},
      {10, true, true, false, false, false, 8, 0, 0, 0, 0},
      {44, true, true, false, false, false, 8, 0, 0, 0, 0},
      {12, true, false, false, false, true, 8, 0, 0, 0, 0},
      {41, true, false, false, false, true, 8, 0, 0, 0, 0},
      {14, true, true, false, false, false, 8, 3, 0.01, 5, 1},
      {16, true, true, false, false, false, 8, 1, -180, 180, 0},
      {19, true, true, false, false, true, 8, 0, 0, 0, 0},
      {20, true, false, false, false, false, 24, 3, 1, 100, 1},
      {23, false, false, false, false, false, 24, 1, 1, 7, 1},
      {24, true, false, false, false, false, 24, 2, 2, 64, 2},
      {25, true, true, false, false, false, 8, 3, 1, 255, 1},
      {26, true, true, false, false, false, 8, 1, -100, 100, 0},
      {29, true, true, false, false, false, 8, 3, 1, 255, 128},
      {32, true, true, false, false, false, 8, 3, 0, 255, 255},
      {33, false, false, false, true, false, 24, 1, 1, 100, 50},
      {34, true, false, true, false, false, 24, 0, 0, 0, 0},
      {38, false, false, true, false, true, 8, 0, 0, 0, 0},
      {39, false, false, false, false, true, 8, 0, 0, 0, 0},
      {43, false, false, false, true, true, 8, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    OpProfile p;
    OpProfileFor(p, c.type);
    EXPECT_EQ(bool(p.InPlaceOK), c.inPlace) << c.type;
    EXPECT_EQ(bool(p.PaletteMode), c.palette) << c.type;
    EXPECT_EQ(bool(p.ConvertTarget), c.convertTarget) << c.type;
    EXPECT_EQ(bool(p.MatchDeeper), c.matchDeeper) << c.type;
    EXPECT_EQ(p.WorkDepth8, c.depth8) << c.type;
    EXPECT_EQ(p.WorkDepth15, c.identity ? 15 : 24) << c.type;
    EXPECT_EQ(p.WorkDepth32, 32) << c.type;
    EXPECT_EQ(p.ParamCount, c.params) << c.type;
    EXPECT_EQ(bool(p.HasParams), c.params > 0) << c.type;
    for (int32_t i = 0; i < c.params; ++i) {
      EXPECT_DOUBLE_EQ(p.Params[i].Min, c.min) << c.type;
      EXPECT_DOUBLE_EQ(p.Params[i].Max, c.max) << c.type;
      EXPECT_DOUBLE_EQ(p.Params[i].Default, c.def) << c.type;
    }
  }
}

TEST_F(Profiles, WorkDepthSetters) {
  OpProfile p;
  OpProfileInit(p);
  OpSetWorkDepth(p, 0, 16);
  for (int32_t d : {8, 15, 16, 24, 32, 12}) EXPECT_EQ(OpWorkDepth(p, d), 16) << d;
  OpSetWorkDepth(p, 0, 0);
  for (int32_t d : {8, 15, 16, 24, 32}) EXPECT_EQ(OpWorkDepth(p, d), d);
  EXPECT_EQ(OpWorkDepth(p, 12), 24);
  OpSetWorkDepth(p, 12, 8);
  EXPECT_EQ(p.WorkDepthOther, 8);
}

TEST_F(Profiles, ParameterIndexOutsideTheTableFails) {
  OpProfile p;
  OpProfileInit(p);
  OpSetParam(p, 15, 0, 1, 0.5);
  EXPECT_EQ(p.ParamCount, 16);
  EXPECT_THROW(OpSetParam(p, 16, 0, 1, 0.5), EMon);
  EXPECT_THROW(OpSetParams(p, 14, 3, 0, 1, 0.5), EMon);
  EXPECT_THROW(OpSetParam(p, -1, 0, 1, 0.5), EMon);
  EXPECT_EQ(LastError(), (ErrorPair{7, 6}));
}

TEST_F(Profiles, ScalerSeparateTargetNeedsNoTemporary) {
  OpProfile p;
  OpProfileFor(p, 40);
  Image src(10, 8, 24), dst;
  OpJob job;
  OpBegin(p, job, &src, &dst, 5, 4);
  EXPECT_EQ(job.Work, &src);
  EXPECT_EQ(job.Out, &dst);
  EXPECT_FALSE(job.FreeTemp);
  EXPECT_FALSE(ImgHasPixels(job.Temp));
  EXPECT_EQ(dst.BitsPerPixel, 24);
  EXPECT_EQ(dst.Width, 5);
  EXPECT_EQ(job.SrcRowBytes, 30);
  EXPECT_EQ(job.SrcBytes, 240);
  EXPECT_EQ(job.DstRowBytes, 15);
  EXPECT_EQ(job.DstBytes, 60);
  EXPECT_EQ(job.SrcItems, 80);
  EXPECT_EQ(job.DstItems, 20);
  EXPECT_EQ(job.ItemBytes, 3);
  EXPECT_EQ(job.SrcData, src.Pixels);
  EXPECT_EQ(job.DstData, dst.Pixels);
  OpEnd(job);
  EXPECT_EQ(dst.Width, 5);
  EXPECT_EQ(dst.Height, 4);
}

TEST_F(Profiles, ScalerInPlaceSwapsTheResultBack) {
  OpProfile p;
  OpProfileFor(p, 40);
  Image img(10, 8, 24);
  int32_t blocks = MemCount();
  OpJob job;
  OpBegin(p, job, &img, &img, 20, 16);
  EXPECT_TRUE(job.SwapBack);
  EXPECT_EQ(job.Work, &img);
  EXPECT_EQ(job.Out, &job.Temp);
  std::fill(job.DstData, job.DstData + job.DstBytes, uint8_t(0x5A));
  OpEnd(job);
  EXPECT_EQ(MemCount(), blocks);
  EXPECT_EQ(img.Width, 20);
  EXPECT_EQ(img.Height, 16);
  EXPECT_EQ(img.Data(), std::vector<uint8_t>(20 * 16 * 3, 0x5A));
}

TEST_F(Profiles, ScalerOfAnIndexedImageWorksOnATrueColourCopy) {
  OpProfile p;
  OpProfileFor(p, 40);
  Image img(4, 4, 8);
  std::fill(img.Pixels, img.Pixels + 16, uint8_t(3));
  img.Palette[3] = {1, 2, 3};
  int32_t blocks = MemCount();
  OpJob job;
  OpBegin(p, job, &img, &img, 4, 4);
  EXPECT_TRUE(job.FreeTemp);
  EXPECT_EQ(job.Work, &job.Temp);
  EXPECT_EQ(job.Temp.BitsPerPixel, 24);
  EXPECT_FALSE(job.Indexed);
  EXPECT_EQ(img.BitsPerPixel, 24);
  std::copy(job.SrcData, job.SrcData + job.SrcBytes, job.DstData);
  OpEnd(job);
  EXPECT_EQ(MemCount(), blocks);
  EXPECT_EQ(img.BitsPerPixel, 24);
  EXPECT_EQ(img.Pixels[0], 1);
  EXPECT_EQ(img.Pixels[2], 3);
}

TEST_F(Profiles, PaletteModeWorksOnPalettesAndCarriesThePixels) {
  OpProfile p;
  OpProfileFor(p, 14);
  Image src(3, 3, 8), dst;
  std::mt19937 rng(9);
  src.Fill(rng);
  int32_t blocks = MemCount();
  OpJob job;
  OpBegin(p, job, &src, &dst, 3, 3);
  EXPECT_TRUE(job.PaletteOnly);
  EXPECT_TRUE(job.Indexed);
  EXPECT_EQ(job.SrcItems, 256);
  EXPECT_EQ(job.DstItems, 256);
  EXPECT_EQ(job.ItemBytes, 3);
  EXPECT_EQ(job.SrcDataBytes, 768);
  EXPECT_EQ(job.SrcData, &src.Palette[0].Blue);
  EXPECT_EQ(job.DstData, &dst.Palette[0].Blue);
  OpEnd(job);
  EXPECT_EQ(dst.Data(), src.Data());
  EXPECT_EQ(MemCount(), blocks + 1);
}

TEST_F(Profiles, MissingTargetWhereInPlaceIsNotAllowed) {
  OpProfile p;
  OpProfileFor(p, 40);
  Image src(2, 2, 24);
  OpJob job;
  int32_t blocks = MemCount();
  EXPECT_THROW(OpBegin(p, job, &src, nullptr, 2, 2), EMon);
  EXPECT_EQ(LastError(), (ErrorPair{7, 6}));
  EXPECT_EQ(MemCount(), blocks);
  OpEnd(job);  // a failed set-up leaves nothing to finish
}

TEST_F(Profiles, FailedAllocationLeavesNothingHeld) {
  OpProfile p;
  OpProfileFor(p, 40);
  Image src(2, 2, 8);
  OpJob job;
  int32_t blocks = MemCount();
  EXPECT_THROW(OpBegin(p, job, &src, &src, 0, 2), EMon);
  EXPECT_EQ(MemCount(), blocks);
  EXPECT_FALSE(job.FreeTemp);
  OpEnd(job);
  EXPECT_EQ(MemCount(), blocks);
}

TEST_F(Profiles, MatchDeeperMeetsAtTheDeeperDepth) {
  OpProfile p;
  OpProfileFor(p, 43);  // identity depths, not in place, match deeper
  Image src(2, 2, 16), deep(2, 2, 32), shallow(2, 2, 8);
  OpJob job;
  OpBegin(p, job, &src, &deep, 2, 2);
  EXPECT_EQ(job.Work->BitsPerPixel, 32);  // the source was raised to the target's depth
  OpEnd(job);
  OpBegin(p, job, &src, &shallow, 2, 2);
  EXPECT_EQ(job.Work, &src);
  EXPECT_EQ(shallow.BitsPerPixel, 16);
  OpEnd(job);
}

TEST_F(Profiles, SourcesThatCannotBeWorkedOnAreReported) {
  OpProfile p;
  OpProfileFor(p, 40);
  Image odd(2, 2, 24), empty, dst;
  ImgSetGeometry(odd, 2, 2, 12);
  OpJob job;
  int32_t blocks = MemCount();
  EXPECT_THROW(OpBegin(p, job, &odd, &dst, 2, 2), EMon);
  EXPECT_EQ(LastError(), (ErrorPair{7, 1}));
  EXPECT_THROW(OpBegin(p, job, &empty, &dst, 2, 2), EMon);
  EXPECT_EQ(LastError(), (ErrorPair{7, 2}));
  EXPECT_EQ(MemCount(), blocks);
  OpBegin(p, job, nullptr, &dst, 2, 2);  // no source: nothing to set up
  EXPECT_EQ(job.Work, nullptr);
  OpEnd(job);
}
