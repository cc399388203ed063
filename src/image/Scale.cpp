// The scaler and its line routines. The run pattern of a line (how many
// source samples make output j, where a mean is inserted) is the same for
// every channel, so the loops walk pixels and treat the channels of a pixel
// together; the pixel width is a template parameter so that those inner
// loops unroll.
#include "image/Scale.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "image/Kernels.h"
#include "image/Profiles.h"
#include "image/ScaleLoops.h"
#include "runtime/Errors.h"

namespace {

constexpr int32_t ScaleOperation = 40;

// ------------------------------------------------------------ horizontal

// Division of a sum of n samples (sum <= 255 n, n <= 30678) by n as a
// multiplication: exact because 255 n^2 < 2^40. The runs of a line have one
// length or the next, so the multipliers of the last two lengths are kept:
// making one is a 64-bit division, a call into the runtime in the 32-bit
// build.
struct RunDivider {
  uint32_t N[2] = {0, 0};
  uint64_t Magic[2] = {0, 0};
  uint32_t Divide(uint32_t sum, uint32_t n) {
    if (n != N[0]) {
      if (n != N[1]) {
        N[1] = n;
        Magic[1] = ((uint64_t(1) << 40) + n - 1) / n;
      }
      std::swap(N[0], N[1]);
      std::swap(Magic[0], Magic[1]);
    }
    return uint32_t((sum * Magic[0]) >> 40);
  }
};

// The mean of a run of n > 3 samples.
template <int Step>
__attribute__((noinline)) void RunMean(const uint8_t* first, int32_t n, uint8_t* q, RunDivider& divider) {
  uint32_t sum[Step] = {};
  for (int32_t k = 0; k < n; ++k)
    for (int c = 0; c < Step; ++c) sum[c] += first[k * Step + c];
  for (int c = 0; c < Step; ++c) q[c] = uint8_t(divider.Divide(sum[c], uint32_t(n)));
}

// Output j takes source samples while pos < acc, acc growing by ratio an
// output and pos by ScaleUnit a sample. The rule is kept as the difference
// d = acc - pos, within +-ScaleUnit x ScaleMostSize and so in 32 bits. The
// runs are the same for every line of an image: the scaler works them out
// once (LineRuns) and its lines follow them.
struct RunRule {
  int32_t Gain, D = 0;
  explicit RunRule(int32_t ratio) : Gain(ratio - ScaleUnit) {}
  // The samples of the next output, with left samples of the line left (an
  // output past the line's end takes one).
  int32_t Next(int32_t left) {
    int32_t n = 1;
    D += Gain;
    if (D >= 0)
      while (n < left) {
        ++n;
        D -= ScaleUnit;
        if (D <= 0) break;
      }
    return n;
  }
};

// The runs of a line's outputs.
void LineRuns(int32_t srcW, int32_t newW, int32_t ratio, uint16_t* runs) {
  RunRule rule(ratio);
  for (int32_t j = 0, left = srcW; j < newW; ++j) {
    runs[j] = uint16_t(rule.Next(left));
    left -= runs[j];
  }
}

// One output from its run of n samples at first.
template <int Step>
__attribute__((always_inline)) inline void ReduceRun(const uint8_t* first, int32_t n, uint8_t* q,
                                                     RunDivider& divider) {
  if (n == 1) {
    for (int c = 0; c < Step; ++c) q[c] = first[c];
  } else if (n == 2) {
    for (int c = 0; c < Step; ++c) q[c] = Mean(first[c], first[Step + c]);
  } else if (n == 3) {
    for (int c = 0; c < Step; ++c) q[c] = uint8_t((first[c] + first[Step + c] + first[2 * Step + c]) / 3);
  } else {
    RunMean<Step>(first, n, q, divider);
  }
}

// A line by its runs. Its state is two pointers and the runs' one, which
// the 32-bit build holds in registers; the longer runs and their divider
// are out of line. A 3-byte pixel that is not the line's last is copied as
// 4 bytes, one load and one store: the byte past it is the next sample's,
// and the next output overwrites it.
template <int Step>
__attribute__((noinline)) void ReduceByRuns(const uint8_t* p, uint8_t* q, const uint16_t* runs, int32_t newW,
                                             RunDivider& divider) {
  const uint16_t* const last = runs + newW - 1;
  for (; runs != last; ++runs, q += Step) {
    const int32_t n = *runs;
    if (__builtin_expect(n == 1, 1)) {
      // A step by a constant: the next pixel's address waits for no load;
      // and the path that falls through, with the loop's one taken branch.
      if (Step == 3)
        std::memcpy(q, p, 4);
      else
        ReduceRun<Step>(p, 1, q, divider);
      p += Step;
      continue;
    }
    ReduceRun<Step>(p, n, q, divider);
    p += n * Step;
  }
  ReduceRun<Step>(p, *last, q, divider);
}

// A line by the rule, for LineReduce, which has no room for the runs.
template <int Step>
void ReducePixels(const uint8_t* p, uint8_t* q, int32_t srcW, int32_t newW, int32_t ratio, RunDivider& divider) {
  RunRule rule(ratio);
  for (int32_t j = 0, left = srcW; j < newW; ++j, q += Step) {
    const int32_t n = rule.Next(left);
    ReduceRun<Step>(p, n, q, divider);
    p += n * Step;
    left -= n;
  }
}

// q[2k] = p[k], q[2k+1] = mean(p[k], p[k+1]), the last sample twice.
template <int Step>
void DoublePixels(const uint8_t* p, uint8_t* q, int32_t n) {
  for (int32_t k = 0; k + 1 < n; ++k, p += Step, q += 2 * Step)
    for (int c = 0; c < Step; ++c) {
      q[c] = p[c];
      q[Step + c] = Mean(p[c], p[Step + c]);
    }
  for (int c = 0; c < Step; ++c) q[c] = q[Step + c] = p[c];
}

template <int Step>
void StretchPixels(const uint8_t* p, uint8_t* q, int32_t newW, int32_t ratio) {
  // d = acc - pos, as in ReducePixels.
  const int32_t gain = ratio - ScaleUnit;
  int32_t d = 0;
  const uint8_t* end = q + newW * Step;
  for (;;) {
    for (int c = 0; c < Step; ++c) q[c] = p[c];
    q += Step;
    if (q == end) return;
    p += Step;
    d += gain;
    if (d < 0) {
      d += ratio;
      for (int c = 0; c < Step; ++c) q[c] = Mean(p[c - Step], p[c]);
      q += Step;
      if (q == end) return;
    }
  }
}

template <int Step>
void EnlargeLine(int32_t factor, int64_t ratio, int32_t dstLineBytes, int32_t srcLineBytes, uint8_t* buffer) {
  uint8_t* a = buffer;
  uint8_t* b = buffer + dstLineBytes;
  int32_t n = srcLineBytes / Step, newW = dstLineBytes / Step;
  bool doubled = false;
  for (; factor > 1; factor >>= 1) {
    DoublePixels<Step>(a, b, n);
    n *= 2;
    std::memcpy(a, b, size_t(n) * Step);
    doubled = true;
  }
  // In 64 bits: 70000 x a line of more than 61356 bytes does not fit 32.
  if (doubled) {
    ratio = int64_t(ScaleUnit) * (int64_t(n) * Step) / dstLineBytes;
    if (ratio >= ScaleUnit) return;
  }
  if (ratio == ScaleUnit)
    std::memcpy(b, a, size_t(dstLineBytes));
  else
    StretchPixels<Step>(a, b, newW, int32_t(ratio));
}

// The horizontal reduction of the line at src into the one at dst, which
// lie apart: by its runs when they are given, else by the rule.
template <int Step>
void ReduceLine(const uint8_t* src, uint8_t* dst, int32_t srcW, int32_t newW, int32_t ratio, const uint16_t* runs) {
  RunDivider divider;
  if (runs)
    ReduceByRuns<Step>(src, dst, runs, newW, divider);
  else
    ReducePixels<Step>(src, dst, srcW, newW, ratio, divider);
}

void ReduceRow(int32_t step, int32_t ratio, int32_t dstLineBytes, int32_t srcLineBytes, const uint8_t* src,
               uint8_t* dst, const uint16_t* runs = nullptr) {
  const int32_t srcW = srcLineBytes / step, newW = dstLineBytes / step;
  switch (step) {
    case 3: ReduceLine<3>(src, dst, srcW, newW, ratio, runs); break;
    case 4: ReduceLine<4>(src, dst, srcW, newW, ratio, runs); break;
    case 1: ReduceLine<1>(src, dst, srcW, newW, ratio, runs); break;
    case 2: ReduceLine<2>(src, dst, srcW, newW, ratio, runs); break;
    default: break;
  }
}

// -------------------------------------------------------------- vertical

// The lines of the vertical reduction: the same runs as the horizontal one,
// except that a tie does not merge.
template <class Visit>
void VerticalRuns(int32_t srcH, int32_t ratio, Visit&& visit) {
  int64_t acc = 0, pos = 0;
  for (int32_t r = 0; r < srcH; ++r) {
    int32_t first = r, count = 1;
    acc += ratio;
    pos += ScaleUnit;
    if (acc > pos) {
      do {
        ++r;
        if (r < srcH) ++count;
        pos += ScaleUnit;
      } while (pos < acc);
    }
    visit(first, count);
  }
}

int32_t MostMergedLines(int32_t srcH, int32_t newH) {
  int32_t most = 1;
  VerticalRuns(srcH, srcH * ScaleUnit / newH, [&](int32_t, int32_t count) {
    if (count > most) most = count;
  });
  return most;
}

// One output line of the vertical reduction from count > 1 source lines
// into region A of the buffer; three or more are summed in 16-bit words at
// sumsOffset and divided there (LineDivide).
void MergeLines(const uint8_t* in, int64_t line, int32_t count, uint8_t* buffer, int32_t sumsOffset) {
  if (count == 2) {
    Kernels.Scale.AverageBytes(in, in + line, buffer, int32_t(line));
  } else {
    uint8_t* sums = buffer + sumsOffset;
    for (int64_t i = 0; i < line; ++i) {
      const uint16_t w = in[i];
      std::memcpy(sums + 2 * i, &w, 2);
    }
    for (int32_t k = 1; k < count; ++k) Kernels.Scale.AddBytes(in + k * line, sums, int32_t(line));
    LineDivide(count, sumsOffset, int32_t(line), buffer);
  }
}

// Doubling passes in place: the block of m lines starts at the top; an
// upward pass reads it from its last line and writes from the target's last
// line up, a downward pass reads it from its first line and writes from the
// target's first line down, so that writing never reaches a line still to
// be read. Then the fractional pass in the direction reached, with the
// current and next line held in the buffer (its writes may reach them).
void EnlargeVertically(uint8_t* t, int64_t line, int32_t m, int32_t newH, int32_t factor, uint8_t* a,
                       uint8_t* b) {
  bool up = true;
  for (; factor > 1; factor >>= 1, m *= 2, up = !up) {
    if (up) {
      for (int32_t idx = 0; idx < m; ++idx) {
        int64_t k = m - 1 - idx, next = k > 0 ? k - 1 : k, w = newH - 1 - 2 * int64_t(idx);
        std::memcpy(t + w * line, t + k * line, size_t(line));
        Kernels.Scale.AverageBytes(t + k * line, t + next * line, t + (w - 1) * line, int32_t(line));
      }
    } else {
      for (int32_t idx = 0; idx < m; ++idx) {
        int64_t k = newH - m + idx, next = k < newH - 1 ? k + 1 : k, w = 2 * int64_t(idx);
        std::memcpy(t + w * line, t + k * line, size_t(line));
        Kernels.Scale.AverageBytes(t + k * line, t + next * line, t + (w + 1) * line, int32_t(line));
      }
    }
  }
  int64_t ratio = int64_t(m) * ScaleUnit / newH;
  if (ratio >= ScaleUnit) return;
  // Reading order k = 0 .. m - 1 and writing order w = 0 .. newH - 1 map to
  // rows from the bottom (upward) or the top (downward).
  auto readRow = [&](int64_t k) { return up ? m - 1 - k : newH - m + k; };
  auto writeRow = [&](int64_t w) { return up ? newH - 1 - w : w; };
  int64_t acc = 0, pos = 0, k = 0, w = 0;
  std::memcpy(a, t + readRow(0) * line, size_t(line));
  while (w >= 0 && w < newH) {
    if (k + 1 < m) std::memcpy(b, t + readRow(k + 1) * line, size_t(line));
    else std::memcpy(b, a, size_t(line));
    std::memcpy(t + writeRow(w) * line, a, size_t(line));
    pos += ScaleUnit;
    acc += ratio;
    if (acc < pos) {
      if (w + 1 < newH) Kernels.Scale.AverageBytes(a, b, t + writeRow(w + 1) * line, int32_t(line));
      ++w;
      acc += ratio;
    }
    ++k;
    ++w;
    uint8_t* swap = a;
    a = b;
    b = swap;
  }
}

bool InLimits(int32_t size) { return size >= 1 && size <= ScaleMostSize; }

}  // namespace

// ------------------------------------------------------------ line routines

void AverageBytesPlain(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t count) {
  AverageBytesLoop(a, b, out, count);
}

void AddBytesPlain(const uint8_t* bytes, uint8_t* words, int32_t count) { AddBytesLoop(bytes, words, count); }

void DivideWordsPlain(const uint8_t* words, uint8_t* bytes, int32_t count, uint32_t d) {
  DivideWordsLoop(words, bytes, count, d);
}

void LineReduce(int32_t step, int32_t ratio, int32_t dstLineBytes, int32_t srcLineBytes, uint8_t* buffer) {
  ReduceRow(step, ratio, dstLineBytes, srcLineBytes, buffer, buffer + srcLineBytes);
}

void LineEnlarge(int32_t step, int32_t factor, int32_t ratio, int32_t dstLineBytes, int32_t srcLineBytes,
                 uint8_t* buffer) {
  switch (step) {
    case 3: EnlargeLine<3>(factor, ratio, dstLineBytes, srcLineBytes, buffer); break;
    case 4: EnlargeLine<4>(factor, ratio, dstLineBytes, srcLineBytes, buffer); break;
    case 1: EnlargeLine<1>(factor, ratio, dstLineBytes, srcLineBytes, buffer); break;
    case 2: EnlargeLine<2>(factor, ratio, dstLineBytes, srcLineBytes, buffer); break;
    default: break;
  }
}

void LineAccumulate(int32_t offset, int32_t count, uint8_t* buffer) {
  Kernels.Scale.AddBytes(buffer, buffer + offset, count);
}

void LineDivide(int32_t divisor, int32_t offset, int32_t count, uint8_t* buffer) {
  uint32_t d = uint32_t(divisor) & 255;
  if (d == 0) {
    MonSetError(ErrOutOfRange);
    return;
  }
  Kernels.Scale.DivideWords(buffer + offset, buffer, count, d);
}

void LineAverage(int32_t offset, int32_t count, uint8_t* buffer) {
  Kernels.Scale.AverageBytes(buffer, buffer + offset, buffer, count);
}

// -------------------------------------------------------------------- scaler

void ImgScale(ImageBuffer& source, ImageBuffer& destination, int32_t newWidth, int32_t newHeight) {
  try {
    MonRun([&] {
      if (!InLimits(newWidth) || !InLimits(newHeight) || !InLimits(source.Width) || !InLimits(source.Height) ||
          (newHeight < source.Height && MostMergedLines(source.Height, newHeight) > ScaleMostMerge))
        MonSetError(ErrOutOfRange);

      OpProfile profile;
      OpProfileFor(profile, ScaleOperation);
      OpJob job;
      OpBegin(profile, job, &source, &destination, newWidth, newHeight);
      ImageBuffer& work = *job.Work;
      ImageBuffer& out = *job.Out;
      const int32_t bpp = work.BytesPerPixel, bits = work.BitsPerPixel;
      const int32_t srcW = work.Width, srcH = work.Height;
      const int32_t srcLine = srcW * bpp, dstLine = newWidth * bpp;
      const int32_t most = srcLine > dstLine ? srcLine : dstLine;

      // Two bytes past max(src, dst) x bpp let the 16-bit sums start at an
      // even offset in region B.
      uint8_t* buffer = nullptr;
      MemAlloc(buffer, most * bpp + 2, 0, "(ImgScale)");
      uint8_t* b = buffer + most;
      const int32_t sums = (most + 1) & ~1;
      const int32_t rx = srcW * ScaleUnit / newWidth, ry = srcH * ScaleUnit / newHeight;
      const int32_t fx = uint16_t(newWidth / srcW), fy = uint16_t(newHeight / srcH);
      uint16_t* runs = nullptr;
      if (rx > ScaleUnit) {
        MemAlloc(runs, int32_t(sizeof(uint16_t)) * newWidth, 0, "(ImgScale)");
        LineRuns(srcW, newWidth, rx, runs);
      }

      // Step 2, the horizontal step, from the line at from into target line
      // y. A reduction reads the line where it lies and writes the target's
      // (the target is never the source: the scaler does not work in
      // place); an enlargement goes through the buffer's two regions.
      auto horizontal = [&](const uint8_t* from, int32_t y) {
        uint8_t* row = out.Pixels + int64_t(y) * dstLine;
        if (rx > ScaleUnit) {
          ReduceRow(bpp, rx, dstLine, srcLine, from, row, runs);
          return;
        }
        if (from != buffer) std::memcpy(buffer, from, size_t(srcLine));
        LineEnlarge(bpp, fx, rx, dstLine, srcLine, buffer);
        std::memcpy(row, b, size_t(dstLine));
      };
      if (fy == 0) {
        // Step 1, the vertical reduction: each merged line goes through the
        // horizontal step at once, which leaves the same lines as an
        // intermediate image would without holding one. A line merged with
        // no other is read where it lies.
        int32_t y = 0;
        VerticalRuns(srcH, ry, [&](int32_t first, int32_t count) {
          const uint8_t* line = work.Pixels + int64_t(first) * srcLine;
          if (count > 1) MergeLines(line, srcLine, count, buffer, sums);
          horizontal(count > 1 ? buffer : line, y++);
        });
      } else {
        for (int32_t y = 0; y < srcH; ++y) horizontal(work.Pixels + int64_t(y) * srcLine, y);
      }

      // Step 3: vertical enlargement in place.
      if (fy >= 1 && newHeight > srcH) EnlargeVertically(out.Pixels, dstLine, srcH, newHeight, fy, buffer, b);

      MemFree(buffer);
      if (runs) MemFree(runs);
      ImgSetGeometry(out, newWidth, newHeight, bits);
      OpEnd(job);
    });
  } catch (const EMon&) {
    // Blocks that the failed section obtained are released: drop the
    // records' pointers to them.
    for (ImageBuffer* image : {&source, &destination})
      if (image->Pixels && !image->ExternalPixels && !MemTest(image->Pixels)) ImgInit(*image);
    throw;
  }
}
