// The palette optimiser written out plainly: every step scans the cells of
// the cube inside a box and sums in double precision, in the order the steps
// are defined. The yardstick for the list-based splitting.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "image/QuantizeInternal.h"

namespace ref {

// The plain optimiser: every step scans the cells of the cube inside a box,
// sums in double precision, in the order the steps are defined.
struct PlainQuantizer {
  std::vector<int32_t> h;
  PaletteEntry palette[256];
  int32_t target = 256;

  struct Box {
    int lo[3], hi[3], split[3], span[3];
    int diag;
    double var[3];
  };
  std::vector<Box> boxes;

  static int Level(int cell, int axis) { return cell >> (6 * axis) & 63; }
  template <class F>
  void Each(const Box& b, F&& f) {
    for (int lb = b.lo[2]; lb <= b.hi[2]; ++lb)
      for (int lg = b.lo[1]; lg <= b.hi[1]; ++lg)
        for (int lr = b.lo[0]; lr <= b.hi[0]; ++lr) f(QuantCell(lr, lg, lb));
  }
  bool SlabUsed(const Box& b, int axis, int level) {
    Box s = b;
    s.lo[axis] = s.hi[axis] = level;
    bool used = false;
    Each(s, [&](int c) { used = used || h[c] != -1; });
    return used;
  }
  void Mean(const Box& b, bool palette, int m[3]) {
    double total = 0, sum[3] = {0, 0, 0};
    Each(b, [&](int c) {
      if (h[c] == -1) return;
      double w = h[c] + 1.0;
      total += w;
      for (int a = 0; a < 3; ++a) sum[a] += w * Level(c, a);
    });
    for (int a = 0; a < 3; ++a) {
      if (total <= 0)
        m[a] = 0;
      else if (palette) {
        int t = int(4 * sum[a] / total);
        m[a] = t < 4 ? 0 : t;
      } else {
        m[a] = int(std::nearbyint(sum[a] / total));
      }
    }
  }
  void Stats(Box& b) {
    for (int a = 0; a < 3; ++a) b.span[a] = b.hi[a] - b.lo[a];
    b.diag = 900 * b.span[0] * b.span[0] + 3481 * b.span[1] * b.span[1] + 121 * b.span[2] * b.span[2];
    int m[3];
    Mean(b, false, m);
    const int weight[3] = {900, 3481, 121};
    for (int a = 0; a < 3; ++a) {
      b.var[a] = 0;
      Each(b, [&](int c) {
        if (h[c] > 0) b.var[a] += double(h[c]) * weight[a] * double(Level(c, a) - m[a]) * (Level(c, a) - m[a]);
      });
      b.split[a] = b.lo[a];
      double acc = 0;
      for (int l = b.lo[a]; l < b.hi[a]; ++l) {
        Box s = b;
        s.lo[a] = s.hi[a] = l;
        double slab = 0;
        Each(s, [&](int c) {
          if (h[c] != -1) slab += h[c];
        });
        acc += slab * weight[a] * double(l - m[a]) * (l - m[a]);
        if (acc > b.var[a] * 0.5) break;
        b.split[a] = l;
      }
    }
  }
  void Shrink(Box& b) {
    for (int a = 0; a < 3; ++a) {
      int l = b.lo[a];
      while (l <= b.hi[a] && !SlabUsed(b, a, l)) ++l;
      if (l <= b.hi[a]) b.lo[a] = l;
      l = b.hi[a];
      while (l >= b.lo[a] && !SlabUsed(b, a, l)) --l;
      if (l >= b.lo[a]) b.hi[a] = l;
    }
    Stats(b);
  }
  void Build(int n) {
    target = Clamp(n, 2, 256);
    std::memset(palette, 255, sizeof palette);
    int colours = 0;
    for (int32_t v : h) colours += v != -1;
    if (colours > target) {
      boxes.assign(1, Box{{0, 0, 0}, {63, 63, 63}, {}, {}, 0, {}});
      Shrink(boxes[0]);
      while (int(boxes.size()) < target) {
        double best = -1;
        int pick = -1, axis = 0;
        for (int i = 0; i < int(boxes.size()); ++i) {
          if (boxes[i].diag <= 0) continue;
          for (int a = 0; a < 3; ++a)
            if (boxes[i].span[a] > 0 && boxes[i].var[a] > best) best = boxes[i].var[a], pick = i, axis = a;
        }
        if (pick < 0) break;
        Box high = boxes[pick];
        boxes[pick].hi[axis] = boxes[pick].split[axis];
        high.lo[axis] = boxes[pick].split[axis] + 1;
        boxes.push_back(high);
        Shrink(boxes[pick]);
        Shrink(boxes.back());
      }
      for (int i = 0; i < int(boxes.size()); ++i) {
        int m[3];
        Mean(boxes[i], true, m);
        palette[i] = PaletteEntry{uint8_t(m[2]), uint8_t(m[1]), uint8_t(m[0])};
        Each(boxes[i], [&](int c) { h[c] = i; });
      }
    } else {
      int i = 0;
      for (int c = 0; c < QuantCells; ++c)
        if (h[c] != -1) {
          palette[i] = PaletteEntry{uint8_t(4 * Level(c, 2)), uint8_t(4 * Level(c, 1)), uint8_t(4 * Level(c, 0))};
          h[c] = i++;
        }
    }
    int k = QuantNearest(0, 0, 0, target, palette);
    if (k != 0) {
      std::swap(palette[0], palette[k]);
      for (int32_t& v : h) v = v == 0 ? k : v == k ? 0 : v;
    }
  }
};

}  // namespace ref
