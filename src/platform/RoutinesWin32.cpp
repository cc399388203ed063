// DirExists, ErrorBox and the UTF-8 conversions.
#include <windows.h>

#include "platform/Routines.h"
#include "platform/RoutinesWin32.h"

std::wstring WideOf(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], n);
  return wide;
}

std::string Utf8Of(const std::wstring& utf16) {
  if (utf16.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string utf8(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), int(utf16.size()), &utf8[0], n, nullptr, nullptr);
  return utf8;
}

Bool32 DirExists(const std::string& path) {
  try {
    DWORD a = GetFileAttributesW(WideOf(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) ? True32 : False32;
  } catch (...) {
    return False32;
  }
}

void ErrorBox(const std::string& text) {
  try {
    std::wstring wideText = WideOf(text), caption = WideOf(AppTitle());
    HWND previous = GetActiveWindow();
    // MB_TASKMODAL without an owner disables every top-level window of the
    // thread while the box is up, and enables them again afterwards.
    MessageBoxW(nullptr, wideText.c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
    if (previous && IsWindow(previous)) SetActiveWindow(previous);
  } catch (...) {
    // No memory for the text: no box, and nothing reported.
  }
}
