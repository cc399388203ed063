// A stand-in for the product's player, for the Windows tests and the run
// script. It appends two lines to the file named by SPIRALUX_PLAYER_LOG:
//   start|<its command line>|<its working directory>
// at start and "end" just before it exits, and in between stays for
// SPIRALUX_PLAYER_MS milliseconds (default 2000). Without the variable it
// only stays.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string Variable(const char* name) {
  char value[1024];
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

void Append(const std::string& log, const std::string& line) {
  if (log.empty()) return;
  HANDLE f = CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  std::string text = line + "\r\n";
  DWORD written;
  WriteFile(f, text.data(), DWORD(text.size()), &written, nullptr);
  CloseHandle(f);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string log = Variable("SPIRALUX_PLAYER_LOG");
  std::string stay = Variable("SPIRALUX_PLAYER_MS");
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, folder);
  Append(log, std::string("start|") + GetCommandLineA() + "|" + folder);
  Sleep(stay.empty() ? 2000 : DWORD(std::strtoul(stay.c_str(), nullptr, 10)));
  Append(log, "end");
  return 0;
}
