// Layout: where the player draws on a desktop of one monitor or several. The
// window covers the virtual screen; each monitor shows a spiral of its own,
// centred on it and scaled to its height, portrait monitors and those left
// of or above the primary one included. All spirals turn together, so
// monitors of the same size show the same frame: they share one scene and
// one frame buffer, drawn once and copied to each of them.
//
// A monitor that cannot have a scene (wider or higher than SpiralMaxSide),
// and every monitor but the primary one when the scenes of all of them do
// not fit in memory (LayoutCover::PrimaryOnly), is black.
//
// Also here: how many colours the player's palette has on a display with a
// hardware palette.
#pragma once

#include <cstdint>
#include <vector>

struct LayoutRect {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const LayoutRect& o) const {
    return Left == o.Left && Top == o.Top && Width == o.Width && Height == o.Height;
  }
};

// A monitor as the system reports it, in screen coordinates (the primary
// monitor's top-left corner is (0, 0)).
struct LayoutMonitor {
  LayoutRect Rect;
  bool Primary = false;
};

struct LayoutSize {
  int32_t Width = 0, Height = 0;
  bool operator==(const LayoutSize& o) const { return Width == o.Width && Height == o.Height; }
};

// A monitor's part of the window: its place in window pixels (the virtual
// screen's top-left corner is (0, 0)) and the scene it shows, -1 for black.
struct LayoutView {
  LayoutRect Place;
  int32_t Scene = -1;
};

enum class LayoutCover { EveryMonitor, PrimaryOnly };

struct PlayerLayout {
  LayoutRect Window;                // in screen coordinates; empty: nothing to show
  std::vector<LayoutSize> Scenes;   // each set up with the spiral in its middle
  std::vector<LayoutView> Views;    // the primary monitor's first
};

// The layout of a desktop. virtualScreen is the bounding rectangle of the
// monitors; when it is empty, the monitors' bounding rectangle is used.
// Monitors without area are left out; when none is left, the virtual screen
// is one primary monitor. The primary monitor is the one marked so, else
// the one holding (0, 0), else the first. Scenes are numbered in the order
// of the views that use them, so the primary monitor's is scene 0 when it
// has one.
PlayerLayout LayoutDesktop(const LayoutRect& virtualScreen, const std::vector<LayoutMonitor>& monitors,
                           LayoutCover cover);

// The number of colours of the player's palette on a display whose system
// palette has paletteSize entries, reserved of them for the system's static
// colours: the free entries, 2 to 256.
int32_t LayoutPaletteColours(int32_t paletteSize, int32_t reserved);
