// Path, range, choice, title and exception-text routines.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/Routines.h"
#include "runtime/Errors.h"
#include "runtime/System.h"

TEST(Routines, AddBackslashLooksAtTheLastByteOnly) {
  EXPECT_EQ(AddBackslash("C:\\Dir"), "C:\\Dir\\");
  EXPECT_EQ(AddBackslash("C:\\Dir\\"), "C:\\Dir\\");
  EXPECT_EQ(AddBackslash(""), "");
  EXPECT_EQ(AddBackslash("C:/Dir/"), "C:/Dir/\\");
}

TEST(Routines, MapRangeExamples) {
  struct Case { int32_t v, fl, fh, tf, tl, result; } cases[] = {
      {31, 1, 50, 1, 100, 61}, {17, 1, 40, 50, 1, 31}, {50, 1, 50, 40, 1, 3},
      {4, 1, 50, 40, 1, 38},   {2, 1, 4, 0, 1, 0},     {4, 1, 4, 0, 1, 2},
      {0, 1, 50, 1, 100, -1},  {60, 1, 50, 1, 100, 119}};  // extrapolated, not clamped
  for (const Case& c : cases)
    EXPECT_EQ(MapRange(c.v, c.fl, c.fh, c.tf, c.tl), c.result) << c.v << " " << c.tf << ".." << c.tl;
}

TEST(Routines, MapRangeOverTheSpeedControl) {
  for (int32_t position = 1; position <= 50; ++position)
    EXPECT_EQ(MapRange(position, 1, 50, 1, 100), 2 * position - 1) << position;
}

TEST(Routines, MapRangeRefusesZeroCountAndOverflow) {
  EXPECT_THROW(MapRange(5, 1, 0, 1, 10), std::domain_error);
  EXPECT_THROW(MapRange(INT32_MAX, 0, 0, 0, INT32_MAX), std::overflow_error);
  EXPECT_THROW(MapRange(-2, 0, 0, 0, INT32_MAX), std::overflow_error);
}

TEST(Routines, MapRangeFailureInsideASectionIsAnError) {
  try {
    MonRun([] { MapRange(1, 1, 0, 1, 2); });
    FAIL();
  } catch (const EMon& e) {
    EXPECT_NE(std::string(e.what()).find("std::domain_error"), std::string::npos) << e.what();
  }
}

TEST(Routines, ChooseIntTestsAnyNonZeroFlag) {
  EXPECT_EQ(ChooseInt(-1, 7, 9), 7);
  EXPECT_EQ(ChooseInt(2, 7, 9), 7);
  EXPECT_EQ(ChooseInt(0, 7, 9), 9);
}

TEST(Routines, TitleRuleAndCaption) {
  EXPECT_EQ(ApplicationTitleOf("C:\\SAVERS\\SAVER.SCR"), "Saver");
  EXPECT_EQ(ApplicationTitleOf("C:\\A.B\\my.Saver.scr"), "my");
  EXPECT_EQ(ApplicationTitleOf("/usr/bin/SpiraLUX"), "Spiralux");
  EXPECT_EQ(AppTitle(), ApplicationTitleOf(ProgramFilePath()));
  SetModuleCaption("Spiralux");
  EXPECT_EQ(AppTitle(), "Spiralux");
  SetModuleCaption("");
}

TEST(Routines, ExceptionTextFormat) {
  std::string text;
  try {
    throw std::invalid_argument("ends with a period.");
  } catch (...) {
    text = ExceptionText();
  }
  std::string module = ModuleOfAddress(reinterpret_cast<const void*>(&ExceptionText)).FileName;
  std::string head = "Exception std::invalid_argument in module " + module + " at ";
  ASSERT_EQ(text.rfind(head, 0), 0u) << text;
  std::string address = text.substr(head.size(), 8);
  EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF"), std::string::npos) << address;
  EXPECT_EQ(text.substr(head.size() + 8), ".\nends with a period.");
}

TEST(Routines, ExceptionTextOfANonStandardExceptionAndTheLimit) {
  std::string text;
  try {
    throw 42;
  } catch (...) {
    text = ExceptionText();
  }
  EXPECT_EQ(text.rfind("Exception int in module ", 0), 0u) << text;
  EXPECT_EQ(text.back(), '.');
  try {
    throw std::runtime_error(std::string(5000, 'x'));
  } catch (...) {
    text = ExceptionText();
  }
  EXPECT_EQ(text.size(), 1024u);
}
