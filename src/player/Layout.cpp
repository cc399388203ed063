// Layout: the monitors' views, their scenes and the palette's size.
#include "player/Layout.h"

#include <algorithm>

#include "player/Spiral.h"

namespace {

bool Empty(const LayoutRect& r) { return r.Width <= 0 || r.Height <= 0; }

bool Holds(const LayoutRect& r, int32_t x, int32_t y) {
  return x >= r.Left && y >= r.Top && int64_t(x) < int64_t(r.Left) + r.Width &&
         int64_t(y) < int64_t(r.Top) + r.Height;
}

// The bounding rectangle, in 64 bits so that no corner overflows; empty when
// it does not fit in 32 bits.
LayoutRect Bounds(const std::vector<LayoutMonitor>& monitors) {
  int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
  for (const LayoutMonitor& m : monitors) {
    left = std::min<int64_t>(left, m.Rect.Left);
    top = std::min<int64_t>(top, m.Rect.Top);
    right = std::max<int64_t>(right, int64_t(m.Rect.Left) + m.Rect.Width);
    bottom = std::max<int64_t>(bottom, int64_t(m.Rect.Top) + m.Rect.Height);
  }
  if (monitors.empty() || right - left > INT32_MAX || bottom - top > INT32_MAX) return LayoutRect{};
  return LayoutRect{int32_t(left), int32_t(top), int32_t(right - left), int32_t(bottom - top)};
}

size_t PrimaryOf(const std::vector<LayoutMonitor>& monitors) {
  for (size_t i = 0; i < monitors.size(); ++i)
    if (monitors[i].Primary) return i;
  for (size_t i = 0; i < monitors.size(); ++i)
    if (Holds(monitors[i].Rect, 0, 0)) return i;
  return 0;
}

}  // namespace

PlayerLayout LayoutDesktop(const LayoutRect& virtualScreen, const std::vector<LayoutMonitor>& monitors,
                           LayoutCover cover) {
  std::vector<LayoutMonitor> shown;
  for (const LayoutMonitor& m : monitors)
    if (!Empty(m.Rect)) shown.push_back(m);
  PlayerLayout layout;
  layout.Window = Empty(virtualScreen) ? Bounds(shown) : virtualScreen;
  if (Empty(layout.Window)) return PlayerLayout{};
  if (shown.empty()) shown.push_back(LayoutMonitor{layout.Window, true});
  const auto primary = shown.begin() + std::ptrdiff_t(PrimaryOf(shown));
  std::rotate(shown.begin(), primary, primary + 1);

  for (size_t i = 0; i < shown.size(); ++i) {
    const LayoutRect& r = shown[i].Rect;
    LayoutView view;
    view.Place = LayoutRect{int32_t(int64_t(r.Left) - layout.Window.Left),
                            int32_t(int64_t(r.Top) - layout.Window.Top), r.Width, r.Height};
    const bool drawn = (i == 0 || cover == LayoutCover::EveryMonitor) && r.Width <= SpiralMaxSide &&
                       r.Height <= SpiralMaxSide;
    if (drawn) {
      const LayoutSize size{r.Width, r.Height};
      auto same = std::find(layout.Scenes.begin(), layout.Scenes.end(), size);
      view.Scene = int32_t(same - layout.Scenes.begin());
      if (same == layout.Scenes.end()) layout.Scenes.push_back(size);
    }
    layout.Views.push_back(view);
  }
  return layout;
}

int32_t LayoutPaletteColours(int32_t paletteSize, int32_t reserved) {
  const int32_t free = paletteSize - reserved;
  return free < 2 ? 2 : free > 256 ? 256 : free;
}
