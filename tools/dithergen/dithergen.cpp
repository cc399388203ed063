// dithergen: writes src/image/DitherMatrix.cpp, the 128 x 128 threshold
// table of the ordered dither.
//
// The host preset builds it; run it from the repository root (the output is
// committed; the program is deterministic, so a run reproduces it byte for
// byte):
//   build/host/tools/dithergen/dithergen > src/image/DitherMatrix.cpp
//
// Method: void-and-cluster (Ulichney 1993) on the torus with a Gaussian of
// sigma 1.5 gives every cell a rank 0..16383; rank r becomes level r / 256,
// so each of the 64 levels round(k x 255 / 63) occurs 256 times. Then:
// 1. The 36 cells whose values are fixed (the first twelve of rows 0-2) take
//    their levels, each by exchange with the nearest free cell of that level.
// 2. Exchanges of neighbouring free cells across block borders, kept only
//    when they lower the total excess, bring every aligned 4 x 4 block mean
//    into 108..146 and every aligned 8 x 8 block mean into 121..134.
// Exchanges keep the level counts; neighbouring exchanges barely move the
// noise spectrum.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int N = 128;
constexpr int Cells = N * N;
constexpr double Sigma = 1.5;
constexpr int Radius = 7;

const int fixedRows[3][12] = {
    {0, 166, 93, 20, 69, 158, 28, 61, 251, 93, 162, 206},
    {121, 231, 146, 219, 190, 138, 210, 109, 174, 16, 113, 28},
    {89, 32, 65, 130, 12, 101, 53, 231, 73, 182, 235, 158},
};

uint32_t rngState = 0x5EED1234u;
uint32_t Next() {
  rngState ^= rngState << 13;
  rngState ^= rngState >> 17;
  rngState ^= rngState << 5;
  return rngState;
}

double kernel[2 * Radius + 1][2 * Radius + 1];
std::vector<double> energy(Cells, 0.0);
std::vector<char> on(Cells, 0);

void Splat(int cell, double sign) {
  int cx = cell % N, cy = cell / N;
  for (int dy = -Radius; dy <= Radius; ++dy)
    for (int dx = -Radius; dx <= Radius; ++dx) {
      int x = (cx + dx + N) % N, y = (cy + dy + N) % N;
      energy[y * N + x] += sign * kernel[dy + Radius][dx + Radius];
    }
}
void Set(int cell, bool value) {
  if (on[cell] == value) return;
  on[cell] = value;
  Splat(cell, value ? 1.0 : -1.0);
}
// Tightest cluster: the set cell of highest energy; largest void: the clear
// cell of lowest. Ties go to the lowest cell index.
int Tightest() {
  int best = -1;
  for (int i = 0; i < Cells; ++i)
    if (on[i] && (best < 0 || energy[i] > energy[best])) best = i;
  return best;
}
int Largest() {
  int best = -1;
  for (int i = 0; i < Cells; ++i)
    if (!on[i] && (best < 0 || energy[i] < energy[best])) best = i;
  return best;
}

int LevelValue(int k) { return (k * 255 + 31) / 63; }
int ValueLevel(int v) {
  for (int k = 0; k < 64; ++k)
    if (LevelValue(k) == v) return k;
  std::fprintf(stderr, "value %d is not a level\n", v);
  std::exit(1);
}

std::vector<int> level(Cells);
std::vector<char> fixedCell(Cells, 0);

// Excess of one block: how far its mean lies outside its range, as a sum.
long BlockExcess(int bx, int by, int size, int low, int high) {
  long sum = 0;
  for (int y = by; y < by + size; ++y)
    for (int x = bx; x < bx + size; ++x) sum += LevelValue(level[y * N + x]);
  long n = long(size) * size, lo = long(low) * n, hi = long(high) * n;
  return sum < lo ? lo - sum : sum > hi ? sum - hi : 0;
}
long CellExcess(int cell) {
  int x = cell % N, y = cell / N;
  return BlockExcess(x / 4 * 4, y / 4 * 4, 4, 108, 146) + BlockExcess(x / 8 * 8, y / 8 * 8, 8, 121, 134);
}
long TotalExcess() {
  long t = 0;
  for (int by = 0; by < N; by += 4)
    for (int bx = 0; bx < N; bx += 4) t += BlockExcess(bx, by, 4, 108, 146);
  for (int by = 0; by < N; by += 8)
    for (int bx = 0; bx < N; bx += 8) t += BlockExcess(bx, by, 8, 121, 134);
  return t;
}

}  // namespace

int main() {
  for (int dy = -Radius; dy <= Radius; ++dy)
    for (int dx = -Radius; dx <= Radius; ++dx)
      kernel[dy + Radius][dx + Radius] = std::exp(-(dx * dx + dy * dy) / (2 * Sigma * Sigma));

  // Initial pattern: a tenth of the cells at random, then swap the tightest
  // cluster into the largest void until that moves nothing.
  const int ones = Cells / 10;
  for (int placed = 0; placed < ones;) {
    int c = int(Next() % Cells);
    if (!on[c]) Set(c, true), ++placed;
  }
  for (;;) {
    int c = Tightest();
    Set(c, false);
    int v = Largest();
    Set(v, true);
    if (v == c) break;
  }
  std::vector<int> rank(Cells, -1);
  std::vector<char> initial = on;
  // Ranks below the initial count: remove clusters one by one.
  for (int r = ones - 1; r >= 0; --r) {
    int c = Tightest();
    rank[c] = r;
    Set(c, false);
  }
  for (int i = 0; i < Cells; ++i) Set(i, initial[i]);
  // The rest: fill voids one by one.
  for (int r = ones; r < Cells; ++r) {
    int v = Largest();
    rank[v] = r;
    Set(v, true);
  }
  for (int i = 0; i < Cells; ++i) level[i] = rank[i] / (Cells / 64);

  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 12; ++x) {
      int cell = y * N + x, want = ValueLevel(fixedRows[y][x]);
      fixedCell[cell] = 1;
      if (level[cell] == want) continue;
      int best = -1, bestDist = 1 << 30;
      for (int i = 0; i < Cells; ++i) {
        if (fixedCell[i] || level[i] != want) continue;
        int dx = std::abs(i % N - x), dy = std::abs(i / N - y);
        dx = dx > N / 2 ? N - dx : dx;
        dy = dy > N / 2 ? N - dy : dy;
        if (dx * dx + dy * dy < bestDist) bestDist = dx * dx + dy * dy, best = i;
      }
      std::swap(level[cell], level[best]);
    }

  long excess = TotalExcess();
  std::fprintf(stderr, "block excess after ranking: %ld\n", excess);
  for (int pass = 0; excess > 0 && pass < 100; ++pass) {
    for (int cell = 0; cell < Cells; ++cell) {
      int x = cell % N, y = cell / N;
      const int other[2] = {y * N + (x + 1) % N, ((y + 1) % N) * N + x};
      for (int o : other) {
        if (fixedCell[cell] || fixedCell[o] || level[cell] == level[o]) continue;
        long before = CellExcess(cell) + CellExcess(o);
        std::swap(level[cell], level[o]);
        long after = CellExcess(cell) + CellExcess(o);
        if (after < before)
          excess -= before - after;
        else
          std::swap(level[cell], level[o]);
      }
    }
    std::fprintf(stderr, "pass %d: block excess %ld\n", pass, TotalExcess());
    excess = TotalExcess();
  }
  if (excess > 0) {
    std::fprintf(stderr, "blocks still out of range\n");
    return 1;
  }

  std::printf(
      "// The threshold table of the ordered dither, written by tools/dithergen\n"
      "// (void-and-cluster blue noise); do not edit by hand, run the generator.\n"
      "#include \"image/DitherMatrix.h\"\n\n"
      "const uint8_t DitherMatrix[128][128] = {\n");
  for (int y = 0; y < N; ++y) {
    std::printf("    {");
    for (int x = 0; x < N; ++x) {
      if (x > 0) std::printf(x % 16 == 0 ? ",\n     " : ", ");
      std::printf("%d", LevelValue(level[y * N + x]));
    }
    std::printf("},\n");
  }
  std::printf("};\n");
  return 0;
}
