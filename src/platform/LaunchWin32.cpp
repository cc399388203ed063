// Launching through CreateProcess and ShellExecute.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/Launch.h"
#include "platform/LaunchWin32.h"

Bool32 RunProgram(const std::string& file, const std::string& params, const std::string& workDir,
                  Bool32 minimised, Bool32 wait) {
  return wait ? RunAndWait(file, params, workDir, minimised)
              : ShellOpen(file, params, workDir, minimised);
}

HANDLE LaunchProcess(const std::string& file, const std::string& params, const std::string& workDir,
                     Bool32 minimised) {
  try {
    LaunchCommand c = LaunchCommandFor(file, params, workDir);
    // CreateProcessA may write into its command line: give it a copy.
    std::vector<char> commandLine(c.CommandLine.begin(), c.CommandLine.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = WORD(LaunchShowState(minimised));
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        c.WorkDir.empty() ? nullptr : c.WorkDir.c_str(), &startup, &process))
      return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
  } catch (...) {
    return nullptr;
  }
}

void EndProcessWithin(HANDLE& process, DWORD timeoutMs) {
  if (!process) return;
  if (WaitForSingleObject(process, timeoutMs) == WAIT_TIMEOUT) TerminateProcess(process, 1);
  CloseHandle(process);
  process = nullptr;
}

Bool32 RunAndWait(const std::string& file, const std::string& params, const std::string& workDir,
                  Bool32 minimised) {
  HANDLE process = LaunchProcess(file, params, workDir, minimised);
  if (!process) return False32;
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
  return True32;
}

Bool32 ShellOpen(const std::string& file, const std::string& params, const std::string& workDir,
                 Bool32 minimised) {
  HWND owner = GetForegroundWindow();
  if (!owner) owner = GetDesktopWindow();
  HINSTANCE rc = ShellExecuteA(owner, nullptr, file.c_str(), params.c_str(), workDir.c_str(),
                               LaunchShowState(minimised));
  return reinterpret_cast<INT_PTR>(rc) > 32 ? True32 : False32;
}

void OpenDocument(const std::string& file) { RunProgram(file, "", "", False32, False32); }
