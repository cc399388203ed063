// Helpers of the Windows suite: the programs under test, scratch folders,
// the test player's log, processes started with bounded waits, and the
// product's settings key cleared around each test that touches it.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include "Wait.h"

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

// A fresh folder under the temporary folder, with a blank in its name;
// removed with everything in it at the end of the scope.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& stem) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static int serial = 0;
    path_ = std::string(temp) + "Spiralux " + stem + " " + std::to_string(GetCurrentProcessId()) +
            "-" + std::to_string(++serial);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~ScratchFolder() {
    std::string from = path_ + '\0';
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
  }
  const std::string& Path() const { return path_; }  // without a trailing backslash
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Puts the test player into folder as SpiraMain.exe.
inline void InstallPlayer(const ScratchFolder& folder) {
  ASSERT_TRUE(CopyFileA(PlayerPath().c_str(), folder.File("SpiraMain.exe").c_str(), FALSE));
}

inline std::string ReadText(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "";
  std::string text;
  char buffer[4096];
  DWORD n;
  while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  CloseHandle(f);
  return text;
}

// The player's log lines; the environment passes the log and the stay to
// every process started afterwards (the player through Spiralux.scr).
class PlayerLog {
 public:
  PlayerLog(const ScratchFolder& folder, int stayMs) : path_(folder.File("player.log")) {
    SetEnvironmentVariableA("SPIRALUX_PLAYER_LOG", path_.c_str());
    Stay(stayMs);
  }
  ~PlayerLog() {
    SetEnvironmentVariableA("SPIRALUX_PLAYER_LOG", nullptr);
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

// A started process, killed at the end of the scope if it is still running.
class Process {
 public:
  explicit Process(const std::string& commandLine) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info_) != 0;
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

// The product's settings key, removed before and after each test.
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

inline void DeleteSettings() { SHDeleteKeyA(HKEY_LOCAL_MACHINE, SettingsSubKey); }

inline bool SettingsKeyExists() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SettingsSubKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

inline void SetSetting(const std::string& name, DWORD type, const void* data, DWORD size) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, SettingsSubKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

inline void SetSettingText(const std::string& name, const std::string& text, DWORD type = REG_SZ) {
  SetSetting(name, type, text.c_str(), DWORD(text.size() + 1));
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteSettings(); }
  void TearDown() override { DeleteSettings(); }
};

}  // namespace wintest
