// The preview paint in one process, as a person sees it: a host window on a
// second thread, the preview window and its loop on this thread with the
// program's PaintPreview, and the pixels read back from the window. The
// suite runs twice: on the true-colour display (TrueColourDisplay.*,
// PreviewPaint.*) and on the 256-colour display (PaletteDisplay.*,
// PreviewPaint.*).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "HostWindow.h"
#include "assets/BuiltInPicture.h"
#include "image/Convert.h"
#include "image/DrawWin32.h"
#include "image/Load.h"
#include "image/Scale.h"
#include "runtime/Errors.h"
#include "saver/SSaverWin32.h"
#include "saver/SpiraRunWin32.h"

using namespace wintest;

namespace {

bool IsPaletteDisplay() {
  HDC screen = GetDC(nullptr);
  bool palette = DeviceHasPalette(screen);
  ReleaseDC(nullptr, screen);
  return palette;
}

// The library's own load and scale of the built-in picture.
struct Picture : ImageBuffer {
  Picture(int32_t width, int32_t height) {
    ImgInit(*this);
    ImgLoadFromMemory(BuiltInPicture, BuiltInPictureBytes, *this);
    ImgScale(*this, *this, width, height);
  }
  ~Picture() { ImgFree(*this); }
  std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(Pixels, Pixels + Width * Height * 3); }
};

// A handle index that a new GDI object gets: it grows when objects leak.
// (Wine's GetGuiResources counts nothing.)
uint32_t NextGdiIndex() {
  HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3));
  uint32_t index = uint32_t(uintptr_t(probe) & 0xFFFF);
  DeleteObject(probe);
  return index;
}

// One run of preview mode: paints paints (each paint asks for the next),
// then the window's pixels and the current palette are read back and the
// window is closed as Display Properties closes it.
struct PreviewRun {
  int wanted = 1;
  int paints = 0;
  int32_t blocksAfterFirst = -1, blocksAfterLast = -1;
  uint32_t gdiAfterFirst = 0, gdiAfterLast = 0;
  HPALETTE firstPalette = nullptr;
  bool firstPaletteDeleted = false;
  std::vector<uint8_t> pixels;
  std::vector<PALETTEENTRY> palette;
  std::vector<COLORREF> shown;
  bool selected = false;  // CurrentPalette was left selected in the paint's device context
  Qssaver* saver = nullptr;
};
PreviewRun* run = nullptr;

void CALLBACK ReadBack(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  Qssaver* s = run->saver;
  run->pixels = WindowPixels(s->PreviewWindow, s->Width, s->Height);
  if (CurrentPalette) {
    run->palette.resize(256);
    GetPaletteEntries(CurrentPalette, 0, 256, run->palette.data());
    // The colour the window's device gives each palette colour.
    HDC dc = GetDC(s->PreviewWindow);
    for (const PALETTEENTRY& e : run->palette)
      run->shown.push_back(GetNearestColor(dc, RGB(e.peRed, e.peGreen, e.peBlue)));
    ReleaseDC(s->PreviewWindow, dc);
  }
  run->firstPaletteDeleted = run->firstPalette && GetObjectType(run->firstPalette) == 0;
  PostMessageA(s->PreviewWindow, WM_CLOSE, 0, 0);
}

void CountedPaint(Qssaver* s) {
  PaintPreview(s);
  run->selected = CurrentPalette && GetCurrentObject(s->DC, OBJ_PAL) == CurrentPalette;
  ++run->paints;
  if (run->paints == 1) {
    run->blocksAfterFirst = MemCount();
    run->gdiAfterFirst = NextGdiIndex();
    run->firstPalette = CurrentPalette;
  }
  if (run->paints < run->wanted) {
    InvalidateRect(s->PreviewWindow, nullptr, FALSE);
  } else if (run->paints == run->wanted) {
    run->blocksAfterLast = MemCount();
    run->gdiAfterLast = NextGdiIndex();
    SetTimer(nullptr, 0, 10, ReadBack);
  }
}

void Remember(Qssaver* s) { run->saver = s; }

// Runs preview mode inside a host window of width x height.
void Preview(PreviewRun& r, int width, int height) {
  HostWindow host(width, height);
  Qssaver s;
  s.CommandLine = "Spiralux.scr /p " + std::to_string(uintptr_t(host.Window()));
  s.OnPreviewStart = Remember;
  SaverSetOnPaint(&s, CountedPaint);
  run = &r;
  SaverDispatch(&s, {nullptr, SaverPreview});
  run = nullptr;
  // The child goes first, from its own thread: the host's thread would
  // otherwise wait for this one to destroy it.
  DestroyWindow(s.PreviewWindow);
  host.Destroy();
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { base_ = MemCount(); }
  void TearDown() override {
    DrawDirectTransferForTests(true);
    EXPECT_EQ(MemCount(), base_) << "a tracked block leaked";
  }
  int32_t base_ = 0;
};

class TrueColourDisplay : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    ASSERT_FALSE(IsPaletteDisplay()) << "this group runs on the true-colour display";
  }
};

class PaletteDisplay : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    ASSERT_TRUE(IsPaletteDisplay()) << "this group runs on the 256-colour display";
  }
};

using PreviewPaint = DisplayTest;

}  // namespace

TEST_F(TrueColourDisplay, ThePreviewIsTheLibrarysPictureByteForByte) {
  for (auto size : {std::pair<int, int>{152, 112}, {151, 97}}) {
    PreviewRun r;
    Preview(r, size.first, size.second);
    Picture expected(size.first, size.second);
    ASSERT_EQ(r.paints, 1);
    EXPECT_TRUE(r.pixels == expected.Bytes()) << size.first << " x " << size.second;
  }
}

TEST_F(TrueColourDisplay, TheSectionRouteGivesTheSamePixels) {
  DrawDirectTransferForTests(false);
  for (auto size : {std::pair<int, int>{152, 112}, {151, 97}}) {
    PreviewRun r;
    Preview(r, size.first, size.second);
    Picture expected(size.first, size.second);
    EXPECT_TRUE(r.pixels == expected.Bytes()) << size.first << " x " << size.second;
  }
}

// Every pixel read back shows the colour of its index in the optimised
// palette as the device shows it (GetNearestColor): the palette colour
// itself where the realised palette reaches the window, as on Windows. Wine
// keeps a window's pixels on a 256-colour display in a table of its own (the
// 20 static colours and a colour cube), whatever palette is realised: there
// each pixel is the table colour nearest its palette colour.
void ExpectPaletteColours(const PreviewRun& r, int width, int height) {
  Picture indexed(width, height);
  ImgConvert(indexed, indexed, 8, ConvNearest);
  ASSERT_EQ(r.palette.size(), 256u) << "CurrentPalette holds the optimised palette";
  EXPECT_TRUE(r.selected) << "and it is selected into the paint's device context";
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& e = indexed.Palette[i];
    EXPECT_EQ(r.palette[i].peRed, e.Red);
    EXPECT_EQ(r.palette[i].peGreen, e.Green);
    EXPECT_EQ(r.palette[i].peBlue, e.Blue);
    EXPECT_EQ(r.palette[i].peFlags, PC_NOCOLLAPSE);
  }
  ASSERT_EQ(r.pixels.size(), size_t(width * height * 3));
  int shown = 0;
  for (int i = 0; i < width * height; ++i) {
    const uint8_t* p = &r.pixels[size_t(3 * i)];
    if (RGB(p[2], p[1], p[0]) == r.shown[indexed.Pixels[i]]) ++shown;
  }
  EXPECT_EQ(shown, width * height) << "pixels showing the colour of their index";
}

TEST_F(PaletteDisplay, ThePictureGoesOutWithItsOptimisedPalette) {
  for (auto size : {std::pair<int, int>{152, 112}, {151, 97}}) {
    PreviewRun r;
    Preview(r, size.first, size.second);
    ExpectPaletteColours(r, size.first, size.second);
  }
}

TEST_F(PaletteDisplay, TheSectionRouteGivesTheSamePixels) {
  DrawDirectTransferForTests(false);
  PreviewRun r;
  Preview(r, 151, 97);
  ExpectPaletteColours(r, 151, 97);
}

// A thousand paints on the true-colour display; on the 256-colour one, where
// Wine makes each paint's palette reduction slow, two hundred, each
// replacing the palette.
TEST_F(PreviewPaint, ManyPaintsKeepTrackedBlocksAndGdiObjectsFlat) {
  PreviewRun r;
  r.wanted = IsPaletteDisplay() ? 200 : 1000;
  Preview(r, 152, 112);
  ASSERT_EQ(r.paints, r.wanted);
  EXPECT_EQ(r.blocksAfterLast, r.blocksAfterFirst);
  // A leak of one object a paint would take 999 more.
  EXPECT_LE(r.gdiAfterLast, r.gdiAfterFirst + 64) << "GDI handles taken by the paints";
  if (IsPaletteDisplay()) {
    EXPECT_TRUE(r.firstPaletteDeleted) << "the replaced palette is deleted";
  }
}

TEST_F(PreviewPaint, AnEmptyPreviewIsRefusedByTheScalerAndHoldsNothing) {
  for (auto size : {std::pair<int, int>{0, 112}, {152, 0}, {0, 0}}) {
    Qssaver s;
    s.Width = size.first;
    s.Height = size.second;
    EXPECT_THROW(PaintPreview(&s), EMon) << size.first << " x " << size.second;
  }
}
