// The registry accessor and the settings on Wine's registry.
#include "WinTest.h"

#include <optional>

#include "platform/RegWrapWin32.h"
#include "platform/Common1Win32.h"

using namespace wintest;

namespace {

// A private key below HKEY_CURRENT_USER, removed after each test.
class RegWrapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = "Software\\SpiraluxTests\\" + std::to_string(GetCurrentProcessId());
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (base_ + "\\Sub\\Deep").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &deep_, nullptr),
              ERROR_SUCCESS);
    Put(deep_, "Where", REG_SZ, "deep", 5);
    HKEY key;
    RegOpenKeyExA(HKEY_CURRENT_USER, base_.c_str(), 0, KEY_ALL_ACCESS, &key);
    DWORD seven = 7;
    char fourBytes[4] = {1, 0, 0, 0};
    Put(key, "Dword", REG_DWORD, &seven, 4);
    Put(key, "Binary", REG_BINARY, fourBytes, 4);
    Put(key, "Digits", REG_SZ, "123", 4);
    Put(key, "Expand", REG_EXPAND_SZ, "%SystemRoot%\\x", 15);
    Put(key, "Empty", REG_SZ, "", 0);
    Put(key, "Unended", REG_SZ, "abc", 3);     // no closing NUL stored
    Put(key, "TwoParts", REG_SZ, "one\0two", 8);
    Put(key, "ShortDword", REG_DWORD, &seven, 2);
    Put(key, "Where", REG_SZ, "base", 5);
    // As the setup program writes a folder: UTF-16, here in Greek and Japanese.
    const wchar_t folder[] = L"C:\\Σπιράλ\\スパイラル";
    RegSetValueExW(key, L"Φάκελος", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                   sizeof folder);
    RegCloseKey(key);
    reg_ = RegWrapCreate(HKEY_CURRENT_USER);
    ASSERT_NE(reg_, nullptr);
  }
  void TearDown() override {
    RegWrapFree(reg_);
    RegCloseKey(deep_);
    SHDeleteKeyA(HKEY_CURRENT_USER, base_.c_str());
  }
  static void Put(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  }
  bool Exists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
  }

  std::string base_;
  HKEY deep_ = nullptr;
  QregWrap* reg_ = nullptr;
};

}  // namespace

TEST_F(RegWrapTest, StringsAreReadAsStoredAndUnexpanded) {
  ASSERT_TRUE(RegWrapOpenKey(reg_, base_, False32));
  EXPECT_EQ(RegWrapReadString(reg_, "Expand", "d"), "%SystemRoot%\\x");
  EXPECT_EQ(RegWrapReadString(reg_, "Digits", "d"), "123");
  EXPECT_EQ(RegWrapReadString(reg_, "Empty", "d"), "");
  EXPECT_EQ(RegWrapReadString(reg_, "Unended", "d"), "abc");
  EXPECT_EQ(RegWrapReadString(reg_, "TwoParts", "d"), "one");
  EXPECT_EQ(RegWrapReadString(reg_, "Missing", "d"), "d");
  EXPECT_EQ(RegWrapReadString(reg_, "Dword", "d"), "d");
  EXPECT_EQ(RegWrapReadString(reg_, "Binary", "d"), "d");
  EXPECT_EQ(RegWrapReadString(reg_, "Φάκελος", "d"), "C:\\Σπιράλ\\スパイラル");
}

TEST_F(RegWrapTest, IntegersAreReadOnlyFromFourByteDwords) {
  ASSERT_TRUE(RegWrapOpenKey(reg_, base_, False32));
  EXPECT_EQ(RegWrapReadInteger(reg_, "Dword", -1), 7);
  EXPECT_EQ(RegWrapReadInteger(reg_, "Binary", -1), -1);
  EXPECT_EQ(RegWrapReadInteger(reg_, "Digits", -1), -1);
  EXPECT_EQ(RegWrapReadInteger(reg_, "Missing", -1), -1);
  EXPECT_EQ(RegWrapReadInteger(reg_, "ShortDword", -1), -1);
}

TEST_F(RegWrapTest, WrittenIntegersAreDwords) {
  EXPECT_FALSE(RegWrapWriteInteger(reg_, "Written", -5)) << "no key is open";
  ASSERT_TRUE(RegWrapOpenKey(reg_, base_, False32));
  EXPECT_TRUE(RegWrapWriteInteger(reg_, "Written", -5));
  DWORD type = 0, value = 0, size = 4;
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, base_.c_str(), "Written", RRF_RT_ANY, &type, &value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(int32_t(value), -5);
  EXPECT_EQ(RegWrapReadInteger(reg_, "Written", 0), -5);
}

TEST_F(RegWrapTest, RelativePathsOpenBelowTheOpenKey) {
  ASSERT_TRUE(RegWrapOpenKey(reg_, base_, False32));
  ASSERT_TRUE(RegWrapOpenKey(reg_, "Sub", False32));
  EXPECT_EQ(reg_->CurrentPath, base_ + "\\Sub");
  ASSERT_TRUE(RegWrapOpenKey(reg_, "Deep", False32));
  EXPECT_EQ(reg_->CurrentPath, base_ + "\\Sub\\Deep");
  EXPECT_EQ(RegWrapReadString(reg_, "Where", ""), "deep");
}

TEST_F(RegWrapTest, AbsolutePathsOpenFromTheRootWhateverIsOpen) {
  ASSERT_TRUE(RegWrapOpenKey(reg_, base_ + "\\Sub\\Deep", False32));
  ASSERT_TRUE(RegWrapOpenKey(reg_, "\\" + base_, False32));
  EXPECT_EQ(reg_->CurrentPath, base_);
  EXPECT_EQ(RegWrapReadString(reg_, "Where", ""), "base");
}

TEST_F(RegWrapTest, AFailedOpenLeavesTheAccessorAsItWas) {
  ASSERT_TRUE(RegWrapOpenKey(reg_, base_, False32));
  HKEY before = reg_->CurrentKey;
  EXPECT_FALSE(RegWrapOpenKey(reg_, "NoSuchKey", False32));
  EXPECT_EQ(reg_->CurrentKey, before);
  EXPECT_EQ(reg_->CurrentPath, base_);
  EXPECT_EQ(RegWrapReadString(reg_, "Where", ""), "base");
  EXPECT_FALSE(Exists(base_ + "\\NoSuchKey"));
}

TEST_F(RegWrapTest, TheCreateFlagMakesMissingKeys) {
  ASSERT_TRUE(RegWrapOpenKey(reg_, base_, False32));
  EXPECT_TRUE(RegWrapOpenKey(reg_, "New\\Key", True32));
  EXPECT_TRUE(Exists(base_ + "\\New\\Key"));
  EXPECT_EQ(reg_->CurrentPath, base_ + "\\New\\Key");
}

TEST_F(RegWrapTest, NotFoundAsRootSelectsTheCurrentUser) {
  QregWrap* reg = RegWrapCreate(RegRootOf(NotFound));
  ASSERT_NE(reg, nullptr);
  EXPECT_EQ(reg->Root, HKEY_CURRENT_USER);
  ASSERT_TRUE(RegWrapOpenKey(reg, base_, False32));
  EXPECT_EQ(RegWrapReadString(reg, "Where", ""), "base");
  RegWrapSetRoot(reg, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(reg->CurrentKey, nullptr);
  RegWrapSetRoot(reg, RegRootOf(NotFound));
  EXPECT_EQ(reg->Root, HKEY_CURRENT_USER);
  RegWrapFree(reg);
  RegWrapFree(nullptr);
}

TEST_F(RegWrapTest, SettingTheSameRootKeepsTheOpenKey) {
  ASSERT_TRUE(RegWrapOpenKey(reg_, base_, False32));
  RegWrapSetRoot(reg_, HKEY_CURRENT_USER);
  EXPECT_EQ(RegWrapReadString(reg_, "Where", ""), "base");
}

TEST_F(RegWrapTest, NoOpenKeyReadsDefaultsAndWritesNothing) {
  EXPECT_EQ(RegWrapReadString(reg_, "Where", "d"), "d");
  EXPECT_EQ(RegWrapReadInteger(reg_, "Dword", 3), 3);
  RegWrapWriteInteger(reg_, "Stray", 1);
}

TEST_F(RegWrapTest, OneCallReadsAndLeavesMissingKeysMissing) {
  EXPECT_EQ(RegWrapGetString(HKEY_CURRENT_USER, "\\" + base_, "Where", "d"), "base");
  EXPECT_EQ(RegWrapGetString(HKEY_CURRENT_USER, base_ + "\\Sub\\Deep", "Where", "d"), "deep");
  EXPECT_EQ(RegWrapGetString(HKEY_CURRENT_USER, base_ + "\\Gone", "Where", "d"), "d");
  EXPECT_FALSE(Exists(base_ + "\\Gone"));
}

// ------------------------------------------------------------- settings

using Settings = SettingsTest;

TEST_F(Settings, AStandardUserReadsTheMachinesKeyAndMayNotWriteIt) {
  DWORD nine = 9;
  SetSetting("FrameDelay", REG_DWORD, &nine, 4);
  SetSettingText("InstFolder", "C:\\Product");
  StandardUser user;
  Impersonating asUser(user);
  QregWrap* reg = RegWrapCreate(HKEY_LOCAL_MACHINE);
  ASSERT_NE(reg, nullptr);
  for (Bool32 create : {False32, True32}) {
    SCOPED_TRACE(create);
    ASSERT_TRUE(RegWrapOpenKey(reg, SettingsKey, create)) << "opened for reading";
    EXPECT_EQ(RegWrapReadInteger(reg, "FrameDelay", 0), 9);
    EXPECT_FALSE(RegWrapWriteInteger(reg, "FrameDelay", 3)) << "a refused write is no success";
    EXPECT_EQ(RegWrapReadInteger(reg, "FrameDelay", 0), 9);
  }
  RegWrapFree(reg);
  EXPECT_EQ(GetInstFolder(), "C:\\Product\\");
  EXPECT_EQ(GetFrameDelay(), 9);
}

TEST_F(Settings, TheUsersOwnDelayComesBeforeTheMachines) {
  struct Case {
    int machine;       // -1: none
    const char* user;  // a REG_DWORD, "none", or "text" for a REG_SZ
    int read;
  } cases[] = {{-1, "none", 17}, {9, "none", 9}, {9, "29", 29},  {9, "text", 9},
               {-1, "29", 29},   {9, "55", 40},  {55, "none", 40}, {9, "0", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.machine) + " " + c.user);
    DeleteSettings();
    if (c.machine >= 0) SetSetting("FrameDelay", REG_DWORD, &c.machine, 4);
    std::string user = c.user;
    if (user == "text") {
      const wchar_t text[] = L"29";
      SetSetting("FrameDelay", REG_SZ, text, sizeof text, HKEY_CURRENT_USER);
    } else if (user != "none") {
      DWORD value = DWORD(std::stoi(user));
      SetSetting("FrameDelay", REG_DWORD, &value, 4, HKEY_CURRENT_USER);
    }
    EXPECT_EQ(GetFrameDelay(), c.read);
  }
}

TEST_F(Settings, TheSpeedIsStoredWhereThisUsersPlayerReadsIt) {
  enum Who { Administrator, Standard, LockedOut };  // LockedOut: the user's own key is read-only too
  struct Case {
    Who who;
    int userBefore;  // -1: none
    Bool32 stored;
    int machineAfter, userAfter;
  } cases[] = {
      {Administrator, -1, True32, 5, -1},  // the machine's default; no value of the user's made
      {Administrator, 29, True32, 5, 5},   // the user's own kept in step
      {Standard, -1, True32, 9, 5},        {Standard, 29, True32, 9, 5},
      {LockedOut, 29, False32, 9, 29},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.who) + " " + std::to_string(c.userBefore));
    DeleteSettings();
    DWORD nine = 9;
    SetSetting("FrameDelay", REG_DWORD, &nine, 4);
    if (c.userBefore >= 0) SetSetting("FrameDelay", REG_DWORD, &c.userBefore, 4, HKEY_CURRENT_USER);
    {
      std::optional<StandardUser> user;
      std::optional<Impersonating> asUser;
      if (c.who != Administrator) {
        user.emplace();
        if (c.who == LockedOut) user->LockUserKey();
        asUser.emplace(*user);
      }
      EXPECT_EQ(SetFrameDelay(5), c.stored);
      EXPECT_EQ(GetFrameDelay(), c.stored ? 5 : 29) << "what this user's player reads";
    }
    EXPECT_EQ(StoredDelay(HKEY_LOCAL_MACHINE), c.machineAfter);
    EXPECT_EQ(StoredDelay(HKEY_CURRENT_USER), c.userAfter);
  }
}

TEST_F(Settings, FrameDelayIsClampedToOneToForty) {
  struct Case { int32_t stored, read; } cases[] = {{41, 40}, {0, 1}, {-5, 1}, {17, 17}, {1, 1},
                                                   {40, 40}, {INT32_MIN, 1}, {INT32_MAX, 40}};
  for (const Case& c : cases) {
    SetSetting("FrameDelay", REG_DWORD, &c.stored, 4);
    EXPECT_EQ(GetFrameDelay(), c.read) << c.stored;
  }
}

TEST_F(Settings, FrameDelayOfAnotherTypeReadsAsTheDefault) {
  SetSettingText("FrameDelay", "9");
  EXPECT_EQ(GetFrameDelay(), 17);
}

TEST_F(Settings, ReadingTheFrameDelayCreatesTheKey) {
  EXPECT_EQ(GetInstFolder(), "");
  EXPECT_FALSE(SettingsKeyExists()) << "the installation folder is read without creating";
  EXPECT_EQ(GetFrameDelay(), 17);
  EXPECT_TRUE(SettingsKeyExists());
  HKEY key;
  DWORD values = 1;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsSubKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  EXPECT_EQ(values, 0u);
}

TEST_F(Settings, StoredFrameDelaysAreNotClamped) {
  SetFrameDelay(55);
  EXPECT_TRUE(SettingsKeyExists());
  DWORD value = 0, size = 4;
  ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, SettingsSubKey, "FrameDelay", RRF_RT_REG_DWORD, nullptr,
                         &value, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(value, 55u);
  EXPECT_EQ(GetFrameDelay(), 40);
}

TEST_F(Settings, InstallationFolderEndsInABackslash) {
  struct Case { const char* stored; DWORD type; const char* read; } cases[] = {
      {"C:\\Product", REG_SZ, "C:\\Product\\"},
      {"C:\\Product\\", REG_SZ, "C:\\Product\\"},
      {"%ProgramFiles%\\Spiralux", REG_EXPAND_SZ, "%ProgramFiles%\\Spiralux\\"},
      {"", REG_SZ, ""},
  };
  for (const Case& c : cases) {
    SetSettingText("InstFolder", c.stored, c.type);
    EXPECT_EQ(GetInstFolder(), c.read) << c.stored;
  }
  DWORD number = 5;
  SetSetting("InstFolder", REG_DWORD, &number, 4);
  EXPECT_EQ(GetInstFolder(), "");
}
