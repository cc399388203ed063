// Command lines and working directories for launching.
#include <gtest/gtest.h>

#include "platform/Launch.h"

TEST(Launch, QuoteIfSpacesQuotesOnlyUnquotedTextWithBlanks) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"C:\\My Programs\\Tool.exe", "\"C:\\My Programs\\Tool.exe\""},
      {"\"C:\\My Programs\\Tool.exe\"", "\"C:\\My Programs\\Tool.exe\""},
      {"C:\\Tools\\Tool.exe", "C:\\Tools\\Tool.exe"},
      {"  C:\\Tools\\Tool.exe\t\r\n", "C:\\Tools\\Tool.exe"},
      {" C:\\My App\\x.exe ", "\"C:\\My App\\x.exe\""},
      {"\"C:\\My App\\x.exe", "\"\"C:\\My App\\x.exe\""},  // one quote is not enclosed
      {"", ""},
      {"\"", "\""},
  };
  for (const Case& c : cases) EXPECT_EQ(QuoteIfSpaces(c.in), c.out) << c.in;
}

TEST(Launch, StripBackslashKeepsRootsAndLoneBackslashes) {
  struct Case { const char* in; const char* out; } cases[] = {
      {"C:\\App\\", "C:\\App"}, {"C:\\", "C:\\"}, {"\\", "\\"}, {"C:\\App", "C:\\App"},
      {"", ""}, {"a\\", "a"}, {"\\\\", "\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(StripBackslash(c.in), c.out) << c.in;
}

TEST(Launch, TrimDropsControlCharactersButNotHighBytes) {
  EXPECT_EQ(TrimControls("\x01 a b \x1f"), "a b");
  EXPECT_EQ(TrimControls("\xe9x\xe9"), "\xe9x\xe9");
}

TEST(Launch, CommandLineAndWorkingDirectory) {
  struct Case {
    const char *file, *params, *dir, *commandLine, *workDir;
  } cases[] = {
      {"C:\\My Programs\\Tool.exe", "-x", "", "\"C:\\My Programs\\Tool.exe\" -x", "C:\\My Programs"},
      {"C:\\Tools\\Tool.exe", "", "D:\\Work\\", "C:\\Tools\\Tool.exe", "D:\\Work\\"},
      {"Tool.exe", "", "", "Tool.exe", ""},
      {"D:\\App\\SpiraMain.exe", "", "D:\\App\\", "D:\\App\\SpiraMain.exe", "D:\\App\\"},
      {"D:\\My App\\SpiraMain.exe", "", "D:\\My App\\", "\"D:\\My App\\SpiraMain.exe\"",
       "D:\\My App\\"},
      {"C:\\Tool.exe", "", "", "C:\\Tool.exe", "C:\\"},
      {"C:Tool.exe", "", "", "C:Tool.exe", "C:"},
      {"C:\\Tools\\Tool.exe", "  a  b  ", "", "C:\\Tools\\Tool.exe   a  b", "C:\\Tools"},
      // The folder of a quoted file is read inside its quotes.
      {"\"C:\\My Programs\\Tool.exe\"", "", "", "\"C:\\My Programs\\Tool.exe\"", "C:\\My Programs"},
  };
  for (const Case& c : cases) {
    LaunchCommand l = LaunchCommandFor(c.file, c.params, c.dir);
    EXPECT_EQ(l.CommandLine, c.commandLine) << c.file;
    EXPECT_EQ(l.WorkDir, c.workDir) << c.file;
  }
}

TEST(Launch, ShowStateIsMinimisedOrShown) {
  EXPECT_EQ(LaunchShowState(True32), 6);
  EXPECT_EQ(LaunchShowState(1), 6);
  EXPECT_EQ(LaunchShowState(False32), 5);
}
