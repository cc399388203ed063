// The frame grid: frames due on start + k x period, late ones dropped.
#include "player/FrameClock.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr int64_t Ms = 1000;

TEST(FrameClock, FramesAreDueOnTheGrid) {
  FrameClock c;
  ClockStart(c, 5000, 17);
  EXPECT_EQ(c.Period, 17 * Ms);
  EXPECT_EQ(ClockWait(c, 5000), 0);
  EXPECT_EQ(ClockTake(c, 5000), 0);
  // Frame 1 is due 17 ms after the start, not 17 ms after frame 0 was drawn.
  EXPECT_EQ(ClockWait(c, 5000 + 4 * Ms), 13 * Ms);
  EXPECT_EQ(ClockTake(c, 5000 + 17 * Ms - 1), -1);
  EXPECT_EQ(ClockTake(c, 5000 + 17 * Ms), 1);
  EXPECT_EQ(ClockTake(c, 5000 + 30 * Ms), -1);
  EXPECT_EQ(c.Drawn, 2);
  EXPECT_EQ(c.Dropped, 0);
}

TEST(FrameClock, ALateFrameIsDroppedNotQueued) {
  FrameClock c;
  ClockStart(c, 0, 10);
  EXPECT_EQ(ClockTake(c, 0), 0);
  // Drawing frame 0 took 35 ms: frames 1 and 2 have passed, 3 is drawn now.
  EXPECT_EQ(ClockTake(c, 35 * Ms), 3);
  EXPECT_EQ(c.Dropped, 2);
  // Nothing else is owed: the next frame waits for its own time.
  EXPECT_EQ(ClockTake(c, 36 * Ms), -1);
  EXPECT_EQ(ClockWait(c, 36 * Ms), 4 * Ms);
  EXPECT_EQ(ClockTake(c, 40 * Ms), 4);
  EXPECT_EQ(c.Dropped, 2);
  EXPECT_EQ(c.Drawn, 3);
}

TEST(FrameClock, DelaysOutsideTheRangeStillMakeAGrid) {
  FrameClock c;
  ClockStart(c, 0, 0);
  EXPECT_EQ(c.Period, Ms);
  ClockStart(c, 0, 40);
  EXPECT_EQ(c.Period, 40 * Ms);
}

TEST(FrameClock, WaitsRoundUpToWholeMilliseconds) {
  EXPECT_EQ(ClockWaitMs(0), 0);
  EXPECT_EQ(ClockWaitMs(-5), 0);
  EXPECT_EQ(ClockWaitMs(1), 1);
  EXPECT_EQ(ClockWaitMs(1000), 1);
  EXPECT_EQ(ClockWaitMs(1001), 2);
  EXPECT_EQ(ClockWaitMs(int64_t(1) << 50), 0x7FFFFFFF);
}

// While the display is off nothing is drawn; when it comes back the frame of
// that moment is drawn, and the time between counts neither as drawn nor as
// dropped. A skip before the next frame is due changes nothing.
TEST(FrameClock, ASkipGoesOnFromTheCurrentTime) {
  FrameClock c;
  ClockStart(c, 0, 10);
  EXPECT_EQ(ClockTake(c, 0), 0);
  ClockSkip(c, 5 * Ms);
  EXPECT_EQ(ClockTake(c, 10 * Ms), 1);
  ClockSkip(c, 1234 * Ms);
  EXPECT_EQ(ClockWait(c, 1234 * Ms), 0);
  EXPECT_EQ(ClockTake(c, 1234 * Ms), 123);
  EXPECT_EQ(ClockTake(c, 1240 * Ms), 124);
  EXPECT_EQ(c.Drawn, 4);
  EXPECT_EQ(c.Dropped, 0);
}

// A loop that waits as told and draws frames of random cost: every drawn
// frame is the latest one due, frames never repeat, and every frame number
// is either drawn or dropped, so the animation keeps the clock's pace.
TEST(FrameClock, RandomDrawingCostsKeepThePace) {
  std::mt19937 random(13);
  for (int32_t delay : {1, 17, 40}) {
    FrameClock c;
    ClockStart(c, 1000, delay);
    int64_t now = 1000, last = -1;
    for (int32_t step = 0; step < 5000; ++step) {
      int64_t frame = ClockTake(c, now);
      if (frame < 0) {
        int64_t wait = ClockWait(c, now);
        ASSERT_GT(wait, 0);
        now += ClockWaitMs(wait) * Ms;  // a wait that ends on the millisecond
        continue;
      }
      ASSERT_GT(frame, last);
      ASSERT_LE(c.Start + frame * c.Period, now);
      ASSERT_GT(c.Start + (frame + 1) * c.Period, now);
      last = frame;
      now += std::uniform_int_distribution<int64_t>(0, 3 * delay * Ms)(random);
    }
    EXPECT_EQ(c.Drawn + c.Dropped, last + 1) << delay;
  }
}

}  // namespace
