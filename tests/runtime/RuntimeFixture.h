// A fixture for runtime tests: each test must leave the tracked tables and
// the section stack as it found them, and may write files in a folder of its
// own.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "runtime/Basic.h"
#include "runtime/Errors.h"

class RuntimeFixture : public ::testing::Test {
 public:
  void SetUp() override {
    base = MemCount();
    ASSERT_EQ(MonDepth(), 0);
    ASSERT_EQ(FileCount(), 0);
    folder = ::testing::TempDir();
  }
  void TearDown() override {
    TraceSwitchForTests(false, "\\trace.txt");
    EXPECT_EQ(MemCount(), base) << "a tracked block leaked";
    EXPECT_EQ(MonDepth(), 0) << "a section was left open";
    EXPECT_EQ(FileCount(), 0) << "a tracked file was left open";
  }

  std::string TempPath(const std::string& name) const {
    const ::testing::TestInfo* t = ::testing::UnitTest::GetInstance()->current_test_info();
    return folder + t->test_suite_name() + "_" + t->name() + "_" + name;
  }

  static std::string ReadFile(const std::string& name) {
    std::string text;
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
      std::fclose(f);
    }
    return text;
  }

  // An empty trace file at a fresh path, with the trace switched on.
  std::string StartTrace() {
    std::string name = TempPath("trace.txt");
    if (std::FILE* f = std::fopen(name.c_str(), "wb")) std::fclose(f);
    TraceSwitchForTests(true, name);
    return name;
  }

  // The message of the EMon that body raises, or "<no EMon>".
  template <class Body>
  static std::string RaisedBy(Body&& body) {
    try {
      body();
    } catch (const EMon& e) {
      return e.what();
    }
    return "<no EMon>";
  }

  int32_t base = 0;
  std::string folder;
};
