// The inputs that once broke the code, kept under tests/image/regressions/
// <target>/ (the fuzz target's name less "Fuzz", in lower case), replayed
// with the checks of their fuzz target in both builds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "FuzzChecks.h"
#include "ImageFixture.h"

using Regressions = ImageFixture;

TEST_F(Regressions, EveryKeptInputPassesItsTargetsChecks) {
  const std::map<std::string, bool (*)(const uint8_t*, size_t)> checks = {
      {"load", fuzz::LoadHolds},         {"mem", fuzz::MemHolds},      {"pack", fuzz::PackHolds},
      {"quantize", fuzz::QuantizeHolds}, {"scale", fuzz::ScaleHolds}};
  namespace fs = std::filesystem;
  int32_t replayed = 0;
  for (const fs::directory_entry& folder : fs::directory_iterator(SPIRALUX_IMAGE_REGRESSIONS)) {
    const std::string target = folder.path().filename().string();
    const auto check = checks.find(target);
    ASSERT_NE(check, checks.end()) << "no fuzz target for " << target;
    for (const fs::directory_entry& file : fs::directory_iterator(folder.path())) {
      std::ifstream in(file.path(), std::ios::binary);
      ASSERT_TRUE(in) << file.path();
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      EXPECT_TRUE(check->second(bytes.data(), bytes.size())) << target << "/" << file.path().filename();
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0) << "the regression folder is empty or missing";
}
