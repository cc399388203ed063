// The configuration dialog's arithmetic: the speed shown for each stored
// delay, the delay that OK stores for each position, and the captions. The
// texts and the layout that come out are checked on the dialog itself
// (tests/win32/ConfigWin32Test.cpp).
#include <gtest/gtest.h>

#include <vector>

#include "saver/wConfig.h"

TEST(ConfigSpeed, StoredDelayOpensAtItsPositionAndPercent) {
  struct Row {
    int delay, position, percent;
  };
  const Row table[] = {{1, 50, 99}, {2, 49, 97},  {4, 46, 91}, {9, 40, 79},
                       {17, 31, 61}, {29, 16, 31}, {39, 4, 7},  {40, 3, 5}};
  for (const Row& r : table) {
    SCOPED_TRACE(r.delay);
    int position = SpeedPositionOfDelay(r.delay, 1, 50);
    EXPECT_EQ(position, r.position);
    EXPECT_EQ(SpeedPercentOf(position), r.percent);
  }
}

TEST(ConfigSpeed, OkStoresTheDelayOfThePosition) {
  struct Row {
    int position, delay, percent;
  };
  const Row table[] = {{1, 40, 1},   {2, 39, 3},   {4, 38, 7}, {16, 29, 31},
                       {31, 17, 61}, {40, 10, 79}, {50, 3, 99}};
  for (const Row& r : table) {
    SCOPED_TRACE(r.position);
    EXPECT_EQ(DelayOfSpeedPosition(r.position), r.delay);
    EXPECT_EQ(SpeedPercentOf(r.position), r.percent);
  }
}

TEST(ConfigSpeed, EveryPositionShowsTwicePositionLessOnePercent) {
  for (int position = 1; position <= 50; ++position) {
    EXPECT_EQ(SpeedPercentOf(position), 2 * position - 1);
    EXPECT_EQ(SpeedCaption(position), "Animation Speed " + std::to_string(2 * position - 1) + "%");
  }
}

TEST(ConfigSpeed, OkNeverStoresBelowThreeAndKeepsOnlySomeDelays) {
  std::vector<int> kept;
  for (int delay = 1; delay <= 40; ++delay) {
    int stored = DelayOfSpeedPosition(SpeedPositionOfDelay(delay, 1, 50));
    EXPECT_GE(stored, 3);
    EXPECT_LE(stored, 40);
    if (stored == delay) kept.push_back(delay);
  }
  EXPECT_EQ(kept, (std::vector<int>{13, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 29}));
  EXPECT_EQ(DelayOfSpeedPosition(SpeedPositionOfDelay(1, 1, 50)), 3);
  EXPECT_EQ(DelayOfSpeedPosition(SpeedPositionOfDelay(40, 1, 50)), 38);
}
