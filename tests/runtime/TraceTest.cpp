// The trace: silent while off, and every line format while on.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "RuntimeFixture.h"
#include "runtime/Basic.h"
#include "runtime/Errors.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = text.find("\r\n", start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
  return lines;
}

}  // namespace

using Trace = RuntimeFixture;

TEST_F(Trace, OffWritesNothingAndOpensNothing) {
  std::string name = StartTrace();
  TraceSwitchForTests(false, name);
  TraceLine("x");
  TraceText("y");
  TraceError('!', 5, 6);
  MonSetError(5, 6);
  MonSetError(0, 0);
  ReportMemory();
  ReportDrive("c:\\");
  EXPECT_EQ(FileCount(), 0);
  EXPECT_EQ(ReadFile(name), "");
}

TEST_F(Trace, AMissingTraceFileIsNotCreated) {
  std::string name = TempPath("absent.txt");
  TraceSwitchForTests(true, name);
  EXPECT_NO_THROW(MonRun([] { TraceLine("lost"); }));
  EXPECT_NO_THROW(TraceError('!', 7, 9));
  EXPECT_EQ(LastError(), ErrNone) << "the failed open is muted";
  std::FILE* f = std::fopen(name.c_str(), "rb");
  EXPECT_EQ(f, nullptr);
  if (f) std::fclose(f);
}

TEST_F(Trace, TextIsCutAtLineBreaksAndPrefixed) {
  std::string name = StartTrace();
  TraceText("a\r\n\r\nb\r\n");
  TraceText("");
  TraceText("single");
  EXPECT_EQ(Lines(ReadFile(name)), (std::vector<std::string>{"#a", "#", "#b", "#", "#single"}));
}

TEST_F(Trace, ErrorReportHasMarkPathMemoryAndDrive) {
  std::string name = StartTrace();
  MonSetError(5, 6);
  MonWarn(6, 8);
  std::vector<std::string> lines = Lines(ReadFile(name));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "!5:6;\"Fatal memory manager error.\"");
  EXPECT_EQ(lines[1], "@;0");
  size_t i = 2;
  if (lines[i] == "#Physical memory:") {
    EXPECT_EQ(lines[i + 1].rfind("#  total: ", 0), 0u);
    EXPECT_NE(lines[i + 1].find(" MB, free: "), std::string::npos);
    EXPECT_EQ(lines[i + 2], "#Swap memory:");
    i += 4;
  }
  ASSERT_LT(i + 1, lines.size());
  EXPECT_EQ(lines[i].rfind("#Drive c:\\(", 0), 0u) << lines[i];
  EXPECT_EQ(lines[i + 1].rfind("#  total: ", 0), 0u);
  ASSERT_LT(i + 2, lines.size());
  EXPECT_EQ(lines[i + 2], "?6:8;\"Cannot close file.\"");
  EXPECT_EQ(LastWarning(), ErrFileCannotClose);
  EXPECT_EQ(LastError(), ErrMemFatal) << "tracing leaves the recorded error";
}

TEST_F(Trace, ExceptionLineAndPath) {
  std::string name = StartTrace();
  try {
    throw std::out_of_range("index 9");
  } catch (...) {
    TraceException();
  }
  std::vector<std::string> lines = Lines(ReadFile(name));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("Error: Exception std::out_of_range in module ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[0].substr(lines[0].size() - 9), "\nindex 9.");
  EXPECT_EQ(lines[1], "");
}

TEST_F(Trace, LeakReportListsAndFreesNewestFirst) {
  ASSERT_EQ(base, 0) << "the leak report lists every tracked block";
  std::string name = StartTrace();
  std::string fileName = TempPath("open.txt");
  char* a = nullptr;
  char* b = nullptr;
  MemAlloc(a, 1000);
  MemAlloc(b, 10, 3, "work");
  int32_t id;
  FileOpenText(id, fileName, FileCreate);
  std::string peak = FormatNumber(MemPeak(), 100);
  ReportLeaks();
  EXPECT_EQ(Lines(ReadFile(name)),
            (std::vector<std::string>{"#Max. allocated memory handles: " + peak,
                                      "#Memory handles not freed:", "#  C:work:3:12 bytes",
                                      "#  C:Handle #0:0:1,052 bytes", "#Files not closed: 1",
                                      "#  " + fileName}));
  EXPECT_EQ(MemCount(), 0);
  EXPECT_EQ(FileCount(), 0);
}

// The shut-down steps release the runtime's texts, so they run in a child.
TEST(TraceDeath, ShutdownReportsHangingSectionsThenLeaks) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::string name = ::testing::TempDir() + "shutdown_trace.txt";
  if (std::FILE* f = std::fopen(name.c_str(), "wb")) std::fclose(f);
  EXPECT_EXIT(
      {
        TraceSwitchForTests(true, name);
        static char* block = nullptr;
        MemAlloc(block, 1000);
        MonEnter();
        MonEnter();
        RuntimeShutdown();
        std::exit(MemCount());
      },
      ::testing::ExitedWithCode(0), "");
  std::string text = RuntimeFixture::ReadFile(name);
  EXPECT_EQ(text,
            "#Monitoring failure: 2 hanging processes.\r\n"
            "#Max. allocated memory handles: 1\r\n"
            "#Memory handles not freed:\r\n"
            "#  C:Handle #0:0:1,052 bytes\r\n");
}
