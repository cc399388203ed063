// The shipped threshold table of the ordered dither.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "image/DitherMatrix.h"

TEST(DitherMatrix, FirstValuesOfTheFirstRows) {
  const int rows[3][12] = {
      {0, 166, 93, 20, 69, 158, 28, 61, 251, 93, 162, 206},
      {121, 231, 146, 219, 190, 138, 210, 109, 174, 16, 113, 28},
      {89, 32, 65, 130, 12, 101, 53, 231, 73, 182, 235, 158},
  };
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 12; ++x) EXPECT_EQ(DitherMatrix[y][x], rows[y][x]) << y << "," << x;
}

TEST(DitherMatrix, EachLevelOccursTwoHundredFiftySixTimes) {
  std::vector<int> count(256, 0);
  for (const auto& row : DitherMatrix)
    for (uint8_t v : row) ++count[v];
  for (int k = 0; k < 64; ++k) {
    int level = (k * 255 + 31) / 63;  // round(k x 255 / 63)
    EXPECT_EQ(count[level], 256) << level;
    count[level] = 0;
  }
  EXPECT_EQ(count, std::vector<int>(256, 0));
}

TEST(DitherMatrix, AlignedBlocksAverageNearTheMiddle) {
  for (int size : {4, 8}) {
    for (int by = 0; by < 128; by += size)
      for (int bx = 0; bx < 128; bx += size) {
        int sum = 0;
        for (int y = by; y < by + size; ++y)
          for (int x = bx; x < bx + size; ++x) sum += DitherMatrix[y][x];
        double mean = double(sum) / (size * size);
        if (size == 4) {
          EXPECT_GE(mean, 108) << bx << "," << by;
          EXPECT_LE(mean, 146) << bx << "," << by;
        } else {
          EXPECT_GE(mean, 121) << bx << "," << by;
          EXPECT_LE(mean, 134) << bx << "," << by;
        }
      }
  }
}

TEST(DitherMatrix, NeighboursDifferWidely) {
  // Independent values would differ by 85 on average; a blue-noise table
  // keeps close values apart.
  long total = 0, close = 0;
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      for (int n : {int(DitherMatrix[y][(x + 1) % 128]), int(DitherMatrix[(y + 1) % 128][x])}) {
        int d = std::abs(DitherMatrix[y][x] - n);
        total += d;
        close += d <= 8;
      }
    }
  EXPECT_GT(double(total) / (2 * 128 * 128), 95.0);
  EXPECT_LT(double(close) / (2 * 128 * 128), 0.02);
}

TEST(DitherMatrix, NoSubTileRepeats) {
  std::set<std::vector<uint8_t>> tiles;
  for (int by = 0; by < 128; by += 8)
    for (int bx = 0; bx < 128; bx += 8) {
      std::vector<uint8_t> t;
      for (int y = by; y < by + 8; ++y) t.insert(t.end(), DitherMatrix[y] + bx, DitherMatrix[y] + bx + 8);
      EXPECT_TRUE(tiles.insert(t).second) << bx << "," << by;
    }
  for (int period : {16, 32, 64}) {
    int same = 0;
    for (int y = 0; y < 128; ++y)
      for (int x = 0; x < 128; ++x) same += DitherMatrix[y][x] == DitherMatrix[y][(x + period) % 128];
    EXPECT_LT(same, 128 * 128 / 16) << period;
  }
}
