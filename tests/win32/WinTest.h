// Helpers of the Windows suite: the programs under test, scratch folders,
// the test player's log, processes started with bounded waits (also as a
// standard user), and the product's settings keys cleared around each test
// that touches them. Strings are UTF-8, as inside the product, and go to the
// system through its wide calls.
#pragma once

#include <windows.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "Wait.h"
#include "platform/RoutinesWin32.h"

#include <cstring>
#include <string>
#include <vector>

namespace wintest {

inline std::string Backslashed(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

inline std::string ScrPath() { return Backslashed(SPIRALUX_SCR); }
inline std::string PlayerPath() { return Backslashed(SPIRALUX_TESTPLAYER); }
inline std::string ProbePath() { return Backslashed(SPIRALUX_PLAYERPROBE); }

// A fresh folder under the temporary folder, with a blank in its name (and
// the stem, UTF-8, in any script); removed with everything in it at the end
// of the scope.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& stem) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    path_ = Utf8Of(temp) + "Spiralux " + stem + " " + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++serial);
    CreateDirectoryW(WideOf(path_).c_str(), nullptr);
  }
  ~ScratchFolder() {
    std::wstring from = WideOf(path_) + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
  }
  const std::string& Path() const { return path_; }  // without a trailing backslash
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Puts the test player into folder as SpiraMain.exe.
inline void InstallPlayer(const ScratchFolder& folder) {
  ASSERT_TRUE(CopyFileW(WideOf(PlayerPath()).c_str(), WideOf(folder.File("SpiraMain.exe")).c_str(),
                        FALSE));
}

inline std::string ReadText(const std::string& path) {
  HANDLE f = CreateFileW(WideOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "";
  std::string text;
  char buffer[4096];
  DWORD n;
  while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  CloseHandle(f);
  return text;
}

// The player's log lines (UTF-8); the environment passes the log and the
// stay to every process started afterwards (the player through
// Spiralux.scr).
class PlayerLog {
 public:
  PlayerLog(const ScratchFolder& folder, int stayMs) : path_(folder.File("player.log")) {
    SetEnvironmentVariableW(L"SPIRALUX_PLAYER_LOG", WideOf(path_).c_str());
    Stay(stayMs);
  }
  ~PlayerLog() {
    SetEnvironmentVariableW(L"SPIRALUX_PLAYER_LOG", nullptr);
    SetEnvironmentVariableA("SPIRALUX_PLAYER_MS", nullptr);
  }
  void Stay(int ms) { SetEnvironmentVariableA("SPIRALUX_PLAYER_MS", std::to_string(ms).c_str()); }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::string text = ReadText(path_);
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find("\r\n", at);
      if (end == std::string::npos) break;
      lines.push_back(text.substr(at, end - at));
      at = end + 2;
    }
    return lines;
  }
  // Waits at most timeoutMs for the log to hold count lines.
  bool WaitForLines(size_t count, DWORD timeoutMs) const {
    return WaitUntil([&] { return Lines().size() >= count; }, timeoutMs);
  }

 private:
  std::string path_;
};

// A started process, killed at the end of the scope if it is still running;
// with a token (StandardUser::Token) it runs as that token's user.
class Process {
 public:
  explicit Process(const std::string& commandLine, HANDLE token = nullptr) {
    std::wstring wide = WideOf(commandLine);
    std::vector<wchar_t> line(wide.begin(), wide.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = (token ? CreateProcessAsUserW(token, nullptr, line.data(), nullptr, nullptr, FALSE,
                                             0, nullptr, nullptr, &startup, &info_)
                      : CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                       nullptr, &startup, &info_)) != 0;
  }
  ~Process() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(info_.hProcess, 99);
      WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
  bool Started() const { return started_; }
  HANDLE Handle() const { return info_.hProcess; }
  DWORD Id() const { return info_.dwProcessId; }
  bool Running() const { return started_ && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT; }
  // True when the process ended within timeoutMs.
  bool Ends(DWORD timeoutMs) const {
    return started_ && WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_{};
  bool started_ = false;
};

inline std::string Scr(const std::string& args) { return "\"" + ScrPath() + "\" " + args; }

// The product's settings key below HKEY_LOCAL_MACHINE (the machine's) and
// below HKEY_CURRENT_USER (the user's own), removed before and after each
// test.
constexpr const char* SettingsSubKey = "Software\\Spiralux\\1.0";

struct WindowSearch {
  DWORD process;
  const char* cls;
  HWND found;
};

inline BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM param) {
  WindowSearch* s = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  if (owner != s->process || std::strcmp(name, s->cls) != 0 || !IsWindowVisible(window))
    return TRUE;
  s->found = window;
  return FALSE;
}

// The visible top-level window of class cls that the process shows, or null.
inline HWND VisibleWindowOf(DWORD process, const char* cls) {
  WindowSearch search = {process, cls, nullptr};
  EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline std::string WindowText(HWND window) {
  wchar_t text[512] = L"";
  GetWindowTextW(window, text, 512);
  return Utf8Of(text);
}

// The message box that the process shows, waited for at most timeoutMs
// while it runs; null when none came.
inline HWND WaitForBox(const Process& p, DWORD timeoutMs) {
  HWND box = nullptr;
  WaitUntil([&] { return (box = VisibleWindowOf(p.Id(), "#32770")) != nullptr || !p.Running(); },
            timeoutMs);
  return box;
}

// The box's text is its static control (id 0xFFFF, as in Windows).
inline std::string BoxText(HWND box) {
  HWND label = GetDlgItem(box, 0xFFFF);
  return label ? WindowText(label) : "";
}

inline void DeleteSettings() {
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, SettingsSubKey);
  SHDeleteKeyA(HKEY_CURRENT_USER, SettingsSubKey);
}

inline bool SettingsKeyExists(HKEY root = HKEY_LOCAL_MACHINE) {
  HKEY key;
  if (RegOpenKeyExA(root, SettingsSubKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

inline void SetSetting(const std::string& name, DWORD type, const void* data, DWORD size,
                       HKEY root = HKEY_LOCAL_MACHINE) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(root, SettingsSubKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, WideOf(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

// A string value as the setup program writes it: REG_SZ in UTF-16.
inline void SetSettingText(const std::string& name, const std::string& text, DWORD type = REG_SZ) {
  std::wstring wide = WideOf(text);
  SetSetting(name, type, wide.c_str(), DWORD((wide.size() + 1) * sizeof(wchar_t)));
}

// The stored FrameDelay of root's settings key, or -1 when there is none.
inline int StoredDelay(HKEY root = HKEY_LOCAL_MACHINE) {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueA(root, SettingsSubKey, "FrameDelay", RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS)
    return -1;
  return int(value);
}

// A standard user, as Windows makes one of every signed-in user: while the
// object lives, the machine's settings key (the 32-bit view in the 32-bit
// suite) grants full access to Administrators and SYSTEM and read access to
// Users only, and Token() is this process's token with its Administrators
// group deny-only (CreateRestrictedToken), for Process and Impersonating.
// Wine runs every program as an administrator and applies no such security
// by itself. LockUserKey gives the user's own settings key the same
// descriptor. Locked keys are created when missing; their descriptors
// before come back at the end of the scope.
class StandardUser {
 public:
  StandardUser() {
    LockKey(HKEY_LOCAL_MACHINE);
    HANDLE own = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own);
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof admins;
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &sidSize);
    SID_AND_ATTRIBUTES denyOnly = {admins, 0};
    EXPECT_TRUE(CreateRestrictedToken(own, 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &token_));
    CloseHandle(own);
  }
  ~StandardUser() {
    for (Locked& k : locked_) {
      if (!k.before.empty()) RegSetKeySecurity(k.key, DACL_SECURITY_INFORMATION, k.before.data());
      RegCloseKey(k.key);
    }
    if (token_) CloseHandle(token_);
  }
  StandardUser(const StandardUser&) = delete;
  StandardUser& operator=(const StandardUser&) = delete;
  HANDLE Token() const { return token_; }
  void LockUserKey() { LockKey(HKEY_CURRENT_USER); }

 private:
  struct Locked {
    HKEY key;
    std::vector<BYTE> before;
  };
  void LockKey(HKEY root) {
    Locked k{nullptr, {}};
    ASSERT_EQ(RegCreateKeyExA(root, SettingsSubKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS | READ_CONTROL | WRITE_DAC, nullptr, &k.key, nullptr),
              ERROR_SUCCESS);
    DWORD size = 0;
    RegGetKeySecurity(k.key, DACL_SECURITY_INFORMATION, nullptr, &size);
    k.before.resize(size);
    if (size == 0 || RegGetKeySecurity(k.key, DACL_SECURITY_INFORMATION, k.before.data(), &size) !=
                         ERROR_SUCCESS)
      k.before.clear();
    locked_.push_back(k);
    PSECURITY_DESCRIPTOR locked = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:P(A;CI;KA;;;BA)(A;CI;KA;;;SY)(A;CI;KR;;;BU)", SDDL_REVISION_1, &locked, nullptr));
    EXPECT_EQ(RegSetKeySecurity(k.key, DACL_SECURITY_INFORMATION, locked), ERROR_SUCCESS);
    LocalFree(locked);
  }

  std::vector<Locked> locked_;
  HANDLE token_ = nullptr;
};

// The calling thread acts as the standard user for the scope.
class Impersonating {
 public:
  explicit Impersonating(const StandardUser& user) {
    EXPECT_TRUE(ImpersonateLoggedOnUser(user.Token()));
  }
  ~Impersonating() { RevertToSelf(); }
  Impersonating(const Impersonating&) = delete;
  Impersonating& operator=(const Impersonating&) = delete;
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettings(); }
  void TearDown() override { DeleteSettings(); }
};

}  // namespace wintest
