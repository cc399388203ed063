// The scaler written out plainly, step by step and channel by channel, with
// the line buffer, the 16-bit accumulators and the in-place vertical passes
// through regions A and B: the yardstick for the fast routines.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace ref {

constexpr int64_t U = 70000;

inline void LineReduce(int32_t step, int32_t ratio, int32_t dstLineBytes, int32_t srcLineBytes, uint8_t* buf) {
  int32_t srcW = srcLineBytes / step, newW = dstLineBytes / step;
  for (int32_t c = 0; c < step; ++c) {
    int64_t acc = 0, pos = 0;
    int32_t i = 0;
    for (int32_t j = 0; j < newW; ++j) {
      uint32_t sum = buf[i * step + c], n = 1;
      ++i;
      acc += ratio;
      pos += U;
      if (acc >= pos) {
        while (i < srcW) {
          sum += buf[i * step + c];
          ++i;
          ++n;
          pos += U;
          if (pos >= acc) break;
        }
      }
      buf[srcLineBytes + j * step + c] = uint8_t(sum / n);
    }
  }
}

inline void LineEnlarge(int32_t step, int32_t factor, int32_t ratio, int32_t dstLineBytes, int32_t srcLineBytes,
                        uint8_t* buf) {
  uint8_t* a = buf;
  uint8_t* b = buf + dstLineBytes;
  int32_t n = srcLineBytes / step, newW = dstLineBytes / step;
  int64_t r = ratio;
  while (factor > 1) {
    for (int32_t c = 0; c < step; ++c)
      for (int32_t k = 0; k < n; ++k) {
        uint8_t p = a[k * step + c];
        b[2 * k * step + c] = p;
        b[(2 * k + 1) * step + c] = k + 1 < n ? uint8_t((p + a[(k + 1) * step + c]) >> 1) : p;
      }
    n *= 2;
    std::memcpy(a, b, size_t(n) * step);
    factor /= 2;
    r = U * n * step / dstLineBytes;
    if (r >= U) return;
  }
  for (int32_t c = 0; c < step; ++c) {
    int64_t acc = 0, pos = 0;
    int32_t i = 0, j = 0;
    for (;;) {
      b[j * step + c] = a[i * step + c];
      if (++j == newW) break;
      ++i;
      pos += U;
      acc += r;
      if (acc < pos) {
        acc += r;
        b[j * step + c] = uint8_t((a[(i - 1) * step + c] + a[i * step + c]) >> 1);
        if (++j == newW) break;
      }
    }
  }
}

inline void LineAccumulate(int32_t offset, int32_t count, uint8_t* buf) {
  for (int32_t i = 0; i < count; ++i) {
    uint16_t w = uint16_t(buf[offset + 2 * i] | buf[offset + 2 * i + 1] << 8);
    w = uint16_t(w + buf[i]);
    buf[offset + 2 * i] = uint8_t(w);
    buf[offset + 2 * i + 1] = uint8_t(w >> 8);
  }
}

inline void LineDivide(int32_t divisor, int32_t offset, int32_t count, uint8_t* buf) {
  for (int32_t i = 0; i < count; ++i)
    buf[i] = uint8_t((buf[offset + 2 * i] | buf[offset + 2 * i + 1] << 8) / (divisor & 255));
}

inline void LineAverage(int32_t offset, int32_t count, uint8_t* buf) {
  for (int32_t i = 0; i < count; ++i) buf[i] = uint8_t((buf[i] + buf[i + offset]) >> 1);
}

// Scales bpp-byte pixels (3 or 4) of srcW x srcH into newW x newH.
inline std::vector<uint8_t> Scale(const std::vector<uint8_t>& src, int32_t srcW, int32_t srcH, int32_t bpp,
                                  int32_t newW, int32_t newH) {
  int32_t srcLine = srcW * bpp, dstLine = newW * bpp, srcTotal = srcLine * srcH, dstTotal = dstLine * newH;
  int32_t m = srcLine > dstLine ? srcLine : dstLine;
  std::vector<uint8_t> buffer(static_cast<size_t>(m) * bpp), target(static_cast<size_t>(dstTotal)), mid;
  uint8_t* buf = buffer.data();
  int32_t rx = srcW * 70000 / newW, ry = srcH * 70000 / newH;
  uint16_t fx = uint16_t(newW / srcW), fy = uint16_t(newH / srcH);
  int64_t acc = 0, pos = 0;
  int32_t height = srcH;
  const uint8_t* lines = src.data();
  if (fy == 0) {
    mid.resize(size_t(srcLine) * newH);
    int32_t r = 0, w = 0;
    while (r < srcTotal) {
      std::memcpy(buf, &src[r], size_t(srcLine));
      acc += ry;
      pos += U;
      if (acc > pos) {
        std::memset(buf + m, 0, size_t(srcLine) * 2);
        LineAccumulate(m, srcLine, buf);
        int32_t count = 1;
        do {
          r += srcLine;
          if (r < srcTotal) {
            std::memcpy(buf, &src[r], size_t(srcLine));
            LineAccumulate(m, srcLine, buf);
            ++count;
          }
          pos += U;
        } while (pos < acc);
        LineDivide(count, m, srcLine, buf);
      }
      std::memcpy(&mid[w], buf, size_t(srcLine));
      r += srcLine;
      w += srcLine;
    }
    height = newH;
    lines = mid.data();
  }
  for (int32_t y = 0; y < uint16_t(height); ++y) {
    std::memcpy(buf, lines + y * srcLine, size_t(srcLine));
    if (rx > 70000)
      LineReduce(bpp, rx, dstLine, srcLine, buf);
    else
      LineEnlarge(bpp, fx, rx, dstLine, srcLine, buf);
    std::memcpy(&target[y * dstLine], buf + m, size_t(dstLine));
  }
  if (fy >= 1) {
    uint8_t* t = target.data();
    uint8_t* a = buf;
    uint8_t* b = buf + m;
    bool up = true;
    // Row of reading position idx in a block of `lines` lines.
    auto readRow = [&](int32_t idx, int32_t count, bool upward) {
      return upward ? count - 1 - idx : newH - count + idx;
    };
    while (fy > 1) {
      int32_t w = up ? newH - 1 : 0, dir = up ? -1 : 1;
      std::memcpy(a, t + readRow(0, height, up) * dstLine, size_t(dstLine));
      for (int32_t idx = 0; idx < height; ++idx) {
        if (idx + 1 < height)
          std::memcpy(b, t + readRow(idx + 1, height, up) * dstLine, size_t(dstLine));
        else
          std::memcpy(b, a, size_t(dstLine));
        std::memcpy(t + w * dstLine, a, size_t(dstLine));
        LineAverage(m, dstLine, buf);  // a is buf, b is buf + m
        std::memcpy(t + (w + dir) * dstLine, a, size_t(dstLine));
        w += 2 * dir;
        std::memcpy(a, b, size_t(dstLine));
      }
      height *= 2;
      fy = uint16_t(fy / 2);
      up = !up;
    }
    int64_t ry2 = int64_t(height) * 70000 / newH;
    if (ry2 < 70000) {
      acc = pos = 0;
      int32_t w = up ? newH - 1 : 0, dir = up ? -1 : 1, idx = 0;
      std::memcpy(a, t + readRow(0, height, up) * dstLine, size_t(dstLine));
      do {
        if (idx + 1 < height)
          std::memcpy(b, t + readRow(idx + 1, height, up) * dstLine, size_t(dstLine));
        else
          std::memcpy(b, a, size_t(dstLine));
        std::memcpy(t + w * dstLine, a, size_t(dstLine));
        pos += U;
        acc += ry2;
        if (acc < pos) {
          LineAverage(m, dstLine, buf);
          if (w + dir >= 0 && w + dir < newH) std::memcpy(t + (w + dir) * dstLine, a, size_t(dstLine));
          w += dir;
          acc += ry2;
        }
        ++idx;
        w += dir;
        std::memcpy(a, b, size_t(dstLine));
      } while (w >= 0 && w < newH);
    }
  }
  return target;
}

}  // namespace ref
