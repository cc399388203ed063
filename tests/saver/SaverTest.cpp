// The screen-saver framework's portable logic: the command-line parser, the
// instance name, the dispatch table and the saver-mode texts.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "saver/SSaver.h"

namespace {

struct Parsed {
  const char* text;
  char letter;
  uint32_t handle;
};

}  // namespace

TEST(SaverArgs, SwitchLetterAndHandle) {
  const Parsed cases[] = {
      {"C:\\SAVER.SCR /p 1234", 'P', 1234},
      {"C:\\SAVER.SCR /P:1234", 'P', 1234},
      {"C:\\SAVER.SCR -p1234", 'P', 1234},
      {"C:\\SAVER.SCR /s", 'S', 0},
      {"C:\\SAVER.SCR /c:5678", 'C', 5678},
      {"C:\\SAVER.SCR /l", 'L', 0},
      {"C:\\SAVER.SCR /a 42", 'A', 42},
      {"C:\\SAVER.SCR /d", 'D', 0},
      {"C:\\SAVER.SCR", 'C', 0},                  // no switch at all
      {"", 'C', 0},
      {"C:\\SAVER.SCR /", 'C', 0},                // switch as the last character
      {"C:\\SAVER.SCR /p 1234 /s", 'P', 1234},    // only the first switch counts
      {"C:\\SAVER.SCR /s 99", 'S', 99},
      {"C:\\SAVER.SCR /p", 'P', 0},
      {"C:\\SAVER.SCR /p x:y 12z34", 'P', 12},    // anything before the digits is skipped
      {"C:\\SAVER.SCR /x", 'X', 0},
      {"C:\\SAVER.SCR /1", '1', 0},
      {"C:\\MY-SAVER\\X.SCR", 'S', 0},            // a '-' in the path is the switch
      {"C:\\MY-SAVER\\X.SCR /c", 'C', 0},         // a '/' anywhere comes first
      {"C:\\SAVER.SCR /s -p 7", 'S', 7},          // later switches only give digits
      {"C:\\SAVER.SCR /\xe9", '\xe9', 0},         // only ASCII letters are upper-cased
  };
  for (const Parsed& c : cases) {
    char letter = '?';
    uint32_t handle = 1;
    SaverParseArgs(c.text, letter, handle);
    EXPECT_EQ(letter, c.letter) << c.text;
    EXPECT_EQ(handle, c.handle) << c.text;
  }
}

TEST(SaverArgs, LongHandlesWrapModulo2To32) {
  char letter;
  uint32_t handle;
  SaverParseArgs("X.SCR /p 4294967296", letter, handle);
  EXPECT_EQ(handle, 0u);
  SaverParseArgs("X.SCR /p 4294967297", letter, handle);
  EXPECT_EQ(handle, 1u);
  SaverParseArgs("X.SCR /p 12345678901234", letter, handle);
  EXPECT_EQ(handle, uint32_t(12345678901234ull % 4294967296ull));
}

TEST(SaverInstance, PathBecomesUpperCaseLettersDigitsAndUnderscores) {
  EXPECT_EQ(SaverInstanceNameOf("C:\\SAVERS\\MY SAVER.SCR"), "C__SAVERS_MY_SAVER_SCR");
  EXPECT_EQ(SaverInstanceNameOf("c:\\savers\\my saver.scr"), "C__SAVERS_MY_SAVER_SCR");
  EXPECT_EQ(SaverInstanceNameOf("D:\\x\xe9y_9.scr"), "D__X_Y_9_SCR");
}

TEST(SaverInstance, PathsAlikeAfterReplacementShareOneGuard) {
  EXPECT_EQ(SaverInstanceNameOf("C:\\A.B\\X.SCR"), SaverInstanceNameOf("C:\\A_B\\X.SCR"));
  EXPECT_NE(SaverInstanceNameOf("C:\\A.B\\X.SCR"), SaverInstanceNameOf("C:\\A.B\\Y.SCR"));
}

// ------------------------------------------------------------- dispatch

namespace {

std::vector<std::string> calls;
HWND__* const configOwner = reinterpret_cast<HWND__*>(uintptr_t(0x5150));
bool configOwnerFound = true;

HWND__* FindOwner() {
  calls.push_back("find");
  return configOwnerFound ? configOwner : nullptr;
}
void Preview(Qssaver* s) {
  calls.push_back("preview");
  s->OnPaint(s);
}
const SaverPlatform platform = {FindOwner, Preview};

void OnSaver(Qssaver*) { calls.push_back("saver"); }
void OnPaint(Qssaver*) { calls.push_back("paint"); }
void OnConfigure(Qssaver*) { calls.push_back("configure"); }
void OnPassword(Qssaver*) { calls.push_back("password"); }
void OnDefault(Qssaver*) { calls.push_back("default"); }

Qssaver Context(const std::string& commandLine) {
  Qssaver s;
  s.CommandLine = commandLine;
  SaverSetOnSaver(&s, OnSaver);
  SaverSetOnPaint(&s, OnPaint);
  SaverSetOnConfigure(&s, OnConfigure);
  SaverSetOnDefault(&s, OnDefault);
  s.OnPassword = OnPassword;
  return s;
}

std::string Joined() {
  std::string all;
  for (const std::string& c : calls) all += (all.empty() ? "" : ",") + c;
  return all;
}

class SaverRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    configOwnerFound = true;
  }
};

}  // namespace

TEST_F(SaverRunTest, EachLetterCallsItsSlotWithItsWindow) {
  struct Case {
    const char* args;
    const char* calls;
    uintptr_t window;
  } cases[] = {
      {"X.SCR /s", "saver", 0},
      {"X.SCR /s 99", "saver", 0},  // the handle is parsed, not used
      {"X.SCR /c", "find,configure", 0x5150},
      {"X.SCR /l", "find,configure", 0x5150},
      {"X.SCR /p 1234", "preview,paint", 1234},
      {"X.SCR /p 1234 /s", "preview,paint", 1234},
      {"X.SCR /a 77", "password", 77},
      {"X.SCR /d", "default", 0},
      {"X.SCR", "find,configure", 0x5150},
      {"X.SCR /x", "find,configure", 0x5150},
      {"X.SCR /1", "find,configure", 0x5150},
      {"X.SCR /", "find,configure", 0x5150},
      {"X.SCR / s", "find,configure", 0x5150},  // a blank is a letter of no mode
      {"C:\\MY-SAVER\\X.SCR", "saver", 0},
  };
  for (const Case& c : cases) {
    calls.clear();
    Qssaver s = Context(c.args);
    SaverDispatch(&s, platform);
    EXPECT_EQ(Joined(), c.calls) << c.args;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(s.Window), c.window) << c.args;
  }
}

TEST_F(SaverRunTest, PreviewWithoutAHandleDoesNothing) {
  for (const char* args : {"X.SCR /p", "X.SCR /p 0", "X.SCR /p 4294967296"}) {
    Qssaver s = Context(args);
    SaverDispatch(&s, platform);
    EXPECT_EQ(Joined(), "") << args;
  }
}

TEST_F(SaverRunTest, ConfigurationRunsWhenDisplayPropertiesIsAbsent) {
  configOwnerFound = false;
  Qssaver s = Context("X.SCR /c");
  s.Window = configOwner;
  SaverDispatch(&s, platform);
  EXPECT_EQ(Joined(), "find,configure");
  EXPECT_EQ(s.Window, nullptr);
}

TEST_F(SaverRunTest, AnEmptySlotDoesNothingAndHasNoFallback) {
  for (const char* args : {"X.SCR /s", "X.SCR /c", "X.SCR /x", "X.SCR /p 12", "X.SCR /a 5", "X.SCR /d"}) {
    calls.clear();
    Qssaver s;  // every slot empty
    s.CommandLine = args;
    SaverDispatch(&s, platform);
    EXPECT_EQ(Joined(), "") << args;
    EXPECT_EQ(s.Window, nullptr) << args;
  }
}

namespace {
void Nested(Qssaver* s) {
  calls.push_back("outer");
  s->OnSaver = OnSaver;
  SaverDispatch(s, platform);  // busy: nothing happens
}
void Throws(Qssaver*) {
  calls.push_back("throws");
  throw std::runtime_error("handler failed");
}
void ThrowsAnything(Qssaver*) { throw 42; }
}  // namespace

TEST_F(SaverRunTest, ANestedRunIsANoOp) {
  Qssaver s;
  s.CommandLine = "X.SCR /s";
  s.OnSaver = Nested;
  SaverDispatch(&s, platform);
  EXPECT_EQ(Joined(), "outer");
  // The flag is clear again afterwards.
  SaverDispatch(&s, platform);
  EXPECT_EQ(Joined(), "outer,saver");
}

TEST_F(SaverRunTest, HandlerExceptionsAreDroppedAndTheFlagCleared) {
  Qssaver s;
  s.CommandLine = "X.SCR /d";
  s.OnDefault = Throws;
  EXPECT_NO_THROW(SaverDispatch(&s, platform));
  s.OnDefault = ThrowsAnything;
  EXPECT_NO_THROW(SaverDispatch(&s, platform));
  s.OnDefault = OnDefault;
  SaverDispatch(&s, platform);
  EXPECT_EQ(Joined(), "throws,default");
}

TEST_F(SaverRunTest, NoContextAsksNothingAndLeavesTheDispatcherFree) {
  for (const char* args : {"X.SCR /s", "X.SCR /c", "X.SCR /p 12"}) {
    calls.clear();
    SaverDispatch(nullptr, platform);
    EXPECT_EQ(Joined(), "") << "no platform step without a context";
    Qssaver s = Context(args);
    SaverDispatch(&s, platform);
    EXPECT_NE(Joined(), "") << args << ": the next run still dispatches";
  }
}

// ---------------------------------------------------------- saver texts

TEST(SaverTexts, PlayerLivesInTheInstallationFolder) {
  EXPECT_EQ(PlayerPathIn("D:\\App\\"), "D:\\App\\SpiraMain.exe");
  EXPECT_EQ(PlayerPathIn("D:\\App"), "D:\\App\\SpiraMain.exe");
}

TEST(SaverTexts, MissingFolderBoxHasTwoLines) {
  EXPECT_EQ(MissingFolderText("C:\\Product\\"), "Data folder does not exist!\r\n\"C:\\Product\\\"");
  EXPECT_EQ(MissingFolderText(""), "Data folder does not exist!\r\n\"\"");
}
