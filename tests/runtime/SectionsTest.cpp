// Monitored sections: the protocol, nesting, clean-up marks, foreign
// exceptions and the overflow exit.
#include <gtest/gtest.h>

#include <stdexcept>

#include "RuntimeFixture.h"
#include "runtime/Basic.h"
#include "runtime/Errors.h"

using Sections = RuntimeFixture;

TEST_F(Sections, ErrorOutsideAnySectionIsOnlyRecorded) {
  EXPECT_NO_THROW(MonSetError(5, 6));
  EXPECT_EQ(LastError(), ErrMemFatal);
  EXPECT_NO_THROW(MonSetError(5, 0));
  EXPECT_EQ(LastError(), ErrNone);
}

TEST_F(Sections, CompletedSectionRaisesNothingAndKeepsItsBlocks) {
  char* p = nullptr;
  MonSetError(4, 1);
  MonRun([&] { MemAlloc(p, 64); });
  EXPECT_EQ(LastError(), ErrNone);
  EXPECT_TRUE(MemTest(p));
  MemFree(p);
}

TEST_F(Sections, FailureFreesTheBlocksObtainedInside) {
  char* before = nullptr;
  char* inside = nullptr;
  MemAlloc(before, 8);
  EXPECT_EQ(RaisedBy([&] {
              MonRun([&] {
                MemAlloc(inside, 8);
                MonSetError(7, 4);
                ADD_FAILURE() << "MonSetError must raise inside a section";
              });
            }),
            "Image header invalid.");
  EXPECT_EQ(MemCount(), base + 1);
  EXPECT_TRUE(MemTest(before));
  EXPECT_EQ(LastError(), ErrImgHeaderInvalid);
  MemFree(before);
}

TEST_F(Sections, TheFirstErrorOfASectionWins) {
  try {
    MonEnter();
    try {
      MonSetError(7, 9);
    } catch (...) {
      MonExcept();
      MonSetError(5, 2);  // a second error from a handler: recorded, not raised
      EXPECT_EQ(LastError(), ErrMemManagerFault);
    }
    MonLeave();
    FAIL();
  } catch (const EMon& e) {
    EXPECT_STREQ(e.what(), "Image data corrupted.");
  }
  EXPECT_EQ(LastError(), ErrImgDataCorrupted);
}

TEST_F(Sections, NestedErrorClimbsAndOuterFreesItsBlocks) {
  char* a = nullptr;
  char* b = nullptr;
  EXPECT_EQ(RaisedBy([&] {
              MonRun([&] {
                MemAlloc(a, 8);
                MonRun([&] {
                  MemAlloc(b, 8);
                  MonSetError(5, 5);
                });
                ADD_FAILURE() << "the inner section's leave must raise";
              });
            }),
            "Invalid memory request.");
  EXPECT_EQ(MemCount(), base);
  EXPECT_EQ(LastError(), ErrMemInvalidRequest);
  EXPECT_EQ(MonDepth(), 0);
}

TEST_F(Sections, ForeignExceptionBecomesCategoryThree) {
  char* p = nullptr;
  try {
    MonRun([&] {
      MemAlloc(p, 8);
      throw std::runtime_error("Division by zero");
    });
    FAIL();
  } catch (const EMon& e) {
    std::string text = e.what();
    EXPECT_EQ(text.rfind("Exception std::runtime_error in module ", 0), 0u) << text;
    EXPECT_NE(text.find(" at "), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 18), "\nDivision by zero.");
    EXPECT_EQ(text, LastExceptText());
    EXPECT_EQ(text, ErrorText(1, 5));
  }
  EXPECT_EQ(LastError(), ErrExcept);
  EXPECT_EQ(MemCount(), base);
}

TEST_F(Sections, MonFailEndsQuietlyAndKeepsBlocks) {
  char* p = nullptr;
  EXPECT_NO_THROW(MonRun([&] {
    MemAlloc(p, 8);
    MonFail();
  }));
  EXPECT_TRUE(MemTest(p));
  EXPECT_EQ(LastError(), ErrNone);
  MemFree(p);
}

TEST_F(Sections, InnerSuccessResetsTheOuterFrame) {
  MonEnter();
  MonRun([] {});
  EXPECT_FALSE(MonTop().Failed);
  EXPECT_EQ(MonTop().Category, 0);
  MonLeave();
}

TEST_F(Sections, MarksArePositionsNotAges) {
  char* old = nullptr;
  char* keep = nullptr;
  char* newest = nullptr;
  MemAlloc(old, 4);
  MemAlloc(keep, 4);
  EXPECT_EQ(RaisedBy([&] {
              MonRun([&] {
                char* inside = nullptr;
                MemAlloc(inside, 4);
                MemAlloc(newest, 4);
                MemFree(old);  // newest moves into old's position, below the mark
                MonSetError(4, 2);
              });
            }),
            "Not supported.");
  EXPECT_TRUE(MemTest(newest)) << "moved below the mark, so not freed";
  EXPECT_TRUE(MemTest(keep));
  EXPECT_EQ(MemCount(), base + 2);
  MemFree(newest);
  MemFree(keep);
}

TEST_F(Sections, TwoHundredFiftySixNestedSectionsWork) {
  for (int i = 0; i < MonStackSize; ++i) MonEnter();
  EXPECT_EQ(MonDepth(), MonStackSize);
  for (int i = 0; i < MonStackSize; ++i) MonLeave();
  EXPECT_EQ(MonDepth(), 0);
}

namespace {
void RecordFatal(const std::string& text) { std::fprintf(stderr, "fatal box: %s\n", text.c_str()); }
}  // namespace

TEST(SectionsDeath, TheTwoHundredFiftySeventhIsFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        SetFatalMessageHook(RecordFatal);
        for (int i = 0; i <= MonStackSize; ++i) MonEnter();
        std::exit(0);
      },
      ::testing::ExitedWithCode(1), "fatal box: Fatal error: internal monitoring overflow\\.");
}

TEST_F(Sections, AbandonedSectionsAreDiscardedAndTheErrorStillRaised) {
  // B and C capture the exception and let it go on without their leaves;
  // A's leave discards their frames and raises the captured error.
  char* inA = nullptr;
  try {
    MonEnter();  // A
    try {
      MemAlloc(inA, 4);
      MonEnter();  // B
      try {
        MonEnter();  // C
        try {
          throw std::logic_error("lost");
        } catch (...) {
          MonExcept();
          throw;
        }
      } catch (...) {
        MonExcept();
        throw;
      }
    } catch (...) {
      MonExcept();
    }
    MonLeave();
    FAIL() << "the captured error must reach A's caller";
  } catch (const EMon& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Exception std::logic_error", 0), 0u) << e.what();
  }
  EXPECT_EQ(MonDepth(), 0);
  EXPECT_EQ(MemCount(), base);
}

TEST_F(Sections, ACompletedSectionAllocatesNothing) {
  EXPECT_EQ(RaisedBy([] { MonRun([] {}); }), "<no EMon>");
  EXPECT_EQ(MemCount(), base);
}
