// A stand-in for the product's player, for the Windows tests and the run
// script. It appends two lines to the file named by SPIRALUX_PLAYER_LOG:
//   start|<its command line>|<its working directory>
// at start and "end" just before it exits, and in between stays for
// SPIRALUX_PLAYER_MS milliseconds (default 2000). Without the variable it
// only stays. The log's lines are UTF-8, read through the system's wide
// calls, so a folder of any name is written as it is.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/RoutinesWin32.h"

namespace {

std::wstring Variable(const wchar_t* name) {
  wchar_t value[1024];
  DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

void Append(const std::wstring& log, const std::wstring& line) {
  if (log.empty()) return;
  HANDLE f = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  std::string text = Utf8Of(line) + "\r\n";
  DWORD written;
  WriteFile(f, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(f);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::wstring log = Variable(L"SPIRALUX_PLAYER_LOG");
  std::wstring stay = Variable(L"SPIRALUX_PLAYER_MS");
  wchar_t folder[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, folder);
  Append(log, std::wstring(L"start|") + GetCommandLineW() + L"|" + folder);
  Sleep(stay.empty() ? 2000 : DWORD(std::wcstoul(stay.c_str(), nullptr, 10)));
  Append(log, L"end");
  return 0;
}
