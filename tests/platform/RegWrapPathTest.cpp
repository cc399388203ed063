// The path rules of the registry accessor: where a key is opened and what
// the current path becomes.
#include <gtest/gtest.h>

#include "platform/RegWrapPath.h"

TEST(RegWrapPaths, AbsolutePathsOpenBelowTheRootWhateverIsOpen) {
  for (bool open : {false, true}) {
    RegKeyPlan p = RegWrapPlanOpen(open, "Software\\A", "\\Software\\B");
    EXPECT_FALSE(p.BelowCurrent);
    EXPECT_EQ(p.SubKey, "Software\\B");
    EXPECT_EQ(p.NewPath, "Software\\B");
  }
}

TEST(RegWrapPaths, RelativePathsOpenBelowTheOpenKey) {
  RegKeyPlan p = RegWrapPlanOpen(true, "Software\\A", "Sub\\Key");
  EXPECT_TRUE(p.BelowCurrent);
  EXPECT_EQ(p.SubKey, "Sub\\Key");
  EXPECT_EQ(p.NewPath, "Software\\A\\Sub\\Key");

  p = RegWrapPlanOpen(false, "", "Software\\A");
  EXPECT_FALSE(p.BelowCurrent);
  EXPECT_EQ(p.NewPath, "Software\\A");
}

TEST(RegWrapPaths, EmptyPathsKeepTheCurrentPathFreeOfStraySeparators) {
  EXPECT_EQ(RegWrapPlanOpen(true, "", "Sub").NewPath, "Sub");
  EXPECT_EQ(RegWrapPlanOpen(true, "Software\\A", "").NewPath, "Software\\A");
  EXPECT_EQ(RegWrapPlanOpen(true, "Software\\A", "\\").NewPath, "");
}
