// The toolkit's scaling from the 96-DPI design: exact at 96, halves away
// from zero, edges scaled so that neighbours stay neighbours.
#include <gtest/gtest.h>

#include "platform/Toolkit.h"

TEST(UiScale, DesignDpiKeepsEveryValue) {
  for (int v : {-13, -11, 0, 1, 13, 101, 236, 463, 486})
    EXPECT_EQ(UiScale(v, 96), v);
}

TEST(UiScale, RoundsHalvesAwayFromZeroAsMulDiv) {
  struct Row {
    int value, dpi, scaled;
  };
  const Row table[] = {{463, 144, 695},  {101, 144, 152}, {13, 144, 20}, {-11, 144, -17},
                       {-13, 144, -20},  {1, 144, 2},     {1, 120, 1},   {2, 120, 3},
                       {-1, 144, -2},    {10, 192, 20},   {7, 72, 5},    {0, 144, 0}};
  for (const Row& r : table) EXPECT_EQ(UiScale(r.value, r.dpi), r.scaled) << r.value << "@" << r.dpi;
}

TEST(UiScale, EvenSizesScaleExactlyAndNeighboursStayAdjacent) {
  for (int left = 0; left < 60; ++left)
    for (int width = 0; width < 60; width += 2) {
      UiRect r = UiScaleRect({left, left, width, width}, 144);
      EXPECT_EQ(r.Width, width * 3 / 2);
      EXPECT_EQ(r.Height, width * 3 / 2);
      // The next control starting where this one ends starts where it ends.
      UiRect next = UiScaleRect({left + width, 0, 4, 4}, 144);
      EXPECT_EQ(next.Left, r.Left + r.Width);
    }
}
