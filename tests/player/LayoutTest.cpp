// The monitors' layout: a view per monitor at its place in the window, a
// scene per size, the primary monitor first, black where no scene can be
// made; and the palette's size.
#include "player/Layout.h"

#include <gtest/gtest.h>

#include <random>

#include "player/Spiral.h"

namespace {

struct Case {
  const char* name;
  LayoutRect screen;
  std::vector<LayoutMonitor> monitors;
  LayoutCover cover;
  LayoutRect window;
  std::vector<LayoutSize> scenes;
  std::vector<LayoutView> views;
};

const LayoutRect Hd{0, 0, 1920, 1080};

TEST(Layout, EachMonitorGetsItsOwnViewAndSameSizesShareAScene) {
  const Case cases[] = {
      {"one monitor", Hd, {{Hd, true}}, LayoutCover::EveryMonitor, Hd, {{1920, 1080}}, {{Hd, 0}}},
      {"portrait left of the primary", {-1080, 0, 3000, 1920},
       {{{-1080, 0, 1080, 1920}, false}, {Hd, true}}, LayoutCover::EveryMonitor, {-1080, 0, 3000, 1920},
       {{1920, 1080}, {1080, 1920}}, {{{1080, 0, 1920, 1080}, 0}, {{0, 0, 1080, 1920}, 1}}},
      {"two alike, the second above", {0, -1080, 1920, 2160},
       {{Hd, true}, {{0, -1080, 1920, 1080}, false}}, LayoutCover::EveryMonitor, {0, -1080, 1920, 2160},
       {{1920, 1080}}, {{{0, 1080, 1920, 1080}, 0}, {{0, 0, 1920, 1080}, 0}}},
      {"five 4K side by side, wider than a scene", {0, 0, 19200, 2160},
       {{{0, 0, 3840, 2160}, true}, {{3840, 0, 3840, 2160}, false}, {{7680, 0, 3840, 2160}, false},
        {{11520, 0, 3840, 2160}, false}, {{15360, 0, 3840, 2160}, false}},
       LayoutCover::EveryMonitor, {0, 0, 19200, 2160}, {{3840, 2160}},
       {{{0, 0, 3840, 2160}, 0}, {{3840, 0, 3840, 2160}, 0}, {{7680, 0, 3840, 2160}, 0},
        {{11520, 0, 3840, 2160}, 0}, {{15360, 0, 3840, 2160}, 0}}},
      {"only the primary when memory is short", {-1080, 0, 3000, 1920},
       {{{-1080, 0, 1080, 1920}, false}, {Hd, true}}, LayoutCover::PrimaryOnly, {-1080, 0, 3000, 1920},
       {{1920, 1080}}, {{{1080, 0, 1920, 1080}, 0}, {{0, 0, 1080, 1920}, -1}}},
      {"a monitor wider than a scene is black", {0, 0, 1920 + SpiralMaxSide + 1, 1080},
       {{Hd, true}, {{1920, 0, SpiralMaxSide + 1, 1080}, false}}, LayoutCover::EveryMonitor,
       {0, 0, 1920 + SpiralMaxSide + 1, 1080}, {{1920, 1080}},
       {{Hd, 0}, {{1920, 0, SpiralMaxSide + 1, 1080}, -1}}},
      {"unmarked: the monitor at (0, 0) is the primary", {-800, 0, 2720, 1080},
       {{{-800, 0, 800, 600}, false}, {Hd, false}}, LayoutCover::PrimaryOnly, {-800, 0, 2720, 1080},
       {{1920, 1080}}, {{{800, 0, 1920, 1080}, 0}, {{0, 0, 800, 600}, -1}}},
      {"no monitors: the virtual screen is one", Hd, {}, LayoutCover::EveryMonitor, Hd, {{1920, 1080}},
       {{Hd, 0}}},
      {"no virtual screen: the monitors' bounds; empty monitors left out", {},
       {{{0, 0, 0, 900}, false}, {{0, 0, 1280, 1024}, true}, {{1280, 0, 1280, 1024}, false}},
       LayoutCover::EveryMonitor, {0, 0, 2560, 1024}, {{1280, 1024}},
       {{{0, 0, 1280, 1024}, 0}, {{1280, 0, 1280, 1024}, 0}}},
      {"nothing at all", {}, {{{5, 5, 0, 0}, true}}, LayoutCover::EveryMonitor, {}, {}, {}},
  };
  for (const Case& c : cases) {
    PlayerLayout layout = LayoutDesktop(c.screen, c.monitors, c.cover);
    EXPECT_EQ(layout.Window, c.window) << c.name;
    EXPECT_EQ(layout.Scenes, c.scenes) << c.name;
    ASSERT_EQ(layout.Views.size(), c.views.size()) << c.name;
    for (size_t i = 0; i < c.views.size(); ++i) {
      EXPECT_EQ(layout.Views[i].Place, c.views[i].Place) << c.name << ", view " << i;
      EXPECT_EQ(layout.Views[i].Scene, c.views[i].Scene) << c.name << ", view " << i;
    }
  }
}

// Random desktops of up to six monitors in a grid of sizes: every view lies
// in the window where its monitor lies on the screen, has a scene of its own
// size, and two views share a scene exactly when they are of one size.
TEST(Layout, RandomDesktopsKeepEveryMonitorInItsPlace) {
  std::mt19937 random(20);
  const LayoutSize sizes[] = {{1920, 1080}, {1080, 1920}, {2560, 1440}, {1280, 1024}};
  for (int32_t round = 0; round < 500; ++round) {
    std::vector<LayoutMonitor> monitors;
    const int32_t count = 1 + int32_t(random() % 6);
    for (int32_t i = 0; i < count; ++i) {
      const LayoutSize s = sizes[random() % 4];
      const int32_t left = int32_t(random() % 7) * 2560 - 7680, top = int32_t(random() % 3) * 2560 - 2560;
      monitors.push_back(LayoutMonitor{{left, top, s.Width, s.Height}, false});
    }
    monitors[random() % monitors.size()].Primary = true;
    PlayerLayout layout = LayoutDesktop(LayoutRect{}, monitors, LayoutCover::EveryMonitor);
    ASSERT_EQ(layout.Views.size(), monitors.size());
    for (const LayoutMonitor& m : monitors) {
      const LayoutRect inWindow{m.Rect.Left - layout.Window.Left, m.Rect.Top - layout.Window.Top, m.Rect.Width,
                                m.Rect.Height};
      int32_t found = 0;
      for (const LayoutView& v : layout.Views) {
        if (!(v.Place == inWindow)) continue;
        ++found;
        ASSERT_GE(v.Scene, 0);
        EXPECT_EQ(layout.Scenes[size_t(v.Scene)], (LayoutSize{m.Rect.Width, m.Rect.Height}));
        EXPECT_GE(v.Place.Left, 0);
        EXPECT_GE(v.Place.Top, 0);
        EXPECT_LE(v.Place.Left + v.Place.Width, layout.Window.Width);
        EXPECT_LE(v.Place.Top + v.Place.Height, layout.Window.Height);
      }
      EXPECT_GE(found, 1);
    }
    for (size_t a = 0; a < layout.Scenes.size(); ++a)
      for (size_t b = a + 1; b < layout.Scenes.size(); ++b) EXPECT_FALSE(layout.Scenes[a] == layout.Scenes[b]);
    const LayoutMonitor& primary = *std::find_if(monitors.begin(), monitors.end(),
                                                 [](const LayoutMonitor& m) { return m.Primary; });
    EXPECT_EQ(layout.Views[0].Place.Left, primary.Rect.Left - layout.Window.Left);
    EXPECT_EQ(layout.Views[0].Scene, 0);
  }
}

TEST(Layout, ThePaletteTakesTheFreeEntries) {
  const struct {
    int32_t size, reserved, colours;
  } cases[] = {{256, 20, 236}, {256, 0, 256}, {4096, 20, 256}, {16, 20, 2}, {0, 0, 2}, {20, 18, 2}, {22, 18, 4}};
  for (const auto& c : cases) EXPECT_EQ(LayoutPaletteColours(c.size, c.reserved), c.colours) << c.size;
}

}  // namespace
