// The ending rules: keys, buttons and the wheel end the player; the mouse
// only beyond its jitter, and never by its first message.
#include "player/InputRules.h"

#include <gtest/gtest.h>

namespace {

TEST(InputRules, KeysButtonsAndTheWheelEndAtOnce) {
  for (InputKind kind : {InputKind::Key, InputKind::Button, InputKind::Wheel}) {
    InputRules fresh;
    EXPECT_TRUE(InputEnds(fresh, kind, 0, 0));
  }
}

TEST(InputRules, TheFirstMouseMessageOnlyTellsWhereTheMouseIs) {
  InputRules rules;
  EXPECT_FALSE(InputEnds(rules, InputKind::MouseMove, 900, -300));
  EXPECT_TRUE(rules.HasOrigin);
  EXPECT_FALSE(InputEnds(rules, InputKind::MouseMove, 900, -300));
}

TEST(InputRules, MovesEndBeyondTheJitterOnEitherAxis) {
  struct Case {
    int32_t dx, dy;
    bool ends;
  } cases[] = {
      {0, 0, false},   {1, 0, false},   {-2, 2, false}, {InputJitter, -InputJitter, false},
      {InputJitter + 1, 0, true}, {0, -InputJitter - 1, true}, {40, 0, true}, {-40, -40, true},
  };
  for (const Case& c : cases) {
    InputRules rules;
    InputEnds(rules, InputKind::MouseMove, -1280, 200);
    EXPECT_EQ(InputEnds(rules, InputKind::MouseMove, -1280 + c.dx, 200 + c.dy), c.ends)
        << c.dx << "," << c.dy;
  }
}

TEST(InputRules, JitterIsMeasuredFromTheFirstPlaceNotTheLast) {
  InputRules rules;
  InputEnds(rules, InputKind::MouseMove, 10, 10);
  // Wandering back and forth by two pixels never adds up.
  for (int32_t i = 0; i < 100; ++i)
    ASSERT_FALSE(InputEnds(rules, InputKind::MouseMove, 10 + (i % 2 ? 2 : -2), 10 + (i % 3) - 1));
  // Creeping away a pixel at a time ends it once it is past the jitter.
  int32_t x = 10;
  while (!InputEnds(rules, InputKind::MouseMove, ++x, 10)) ASSERT_LE(x, 10 + InputJitter);
  EXPECT_EQ(x, 10 + InputJitter + 1);
}

}  // namespace
