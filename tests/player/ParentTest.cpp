// Which parent makes the player live no longer than it: a screen saver's
// file, by its extension, whatever its name, case or folder.
#include "player/Parent.h"

#include <gtest/gtest.h>

namespace {

TEST(Parent, OnlyAScreenSaverFileIsASaver) {
  const struct {
    const char* image;
    bool saver;
  } cases[] = {
      {"Spiralux.scr", true},          {"SPIRAL~1.SCR", true},           {"other.Scr", true},
      {"C:\\Windows\\SysWOW64\\Spiralux.scr", true}, {"Z:/build/win32/Spiralux.scr", true},
      {"explorer.exe", false},         {"Spiralux.scr.exe", false},      {".scr", false},
      {"", false},                     {"C:\\saver.scr\\SpiraMain.exe", false}, {"scr", false},
      {"Spiralux.sc", false},
  };
  for (const auto& c : cases) EXPECT_EQ(ParentIsScreenSaver(c.image), c.saver) << c.image;
}

}  // namespace
