// Launching through CreateProcessW and ShellExecuteW.
#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/Launch.h"
#include "platform/LaunchWin32.h"
#include "platform/RoutinesWin32.h"

namespace {

// A job that ends every process in it when its last handle is closed, which
// is also when the process holding the handle ends, however it ends. Not
// inheritable: no child can keep it open. Null when the system refuses it.
HANDLE KillOnCloseJob() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// Starts file as LaunchProcess says, inside job when there is one.
HANDLE StartProcess(const std::string& file, const std::string& params, const std::string& workDir,
                    Bool32 minimised, HANDLE job) {
  try {
    LaunchCommand c = LaunchCommandFor(file, params, workDir);
    // CreateProcessW may write into its command line: give it a copy.
    std::wstring line = WideOf(c.CommandLine), folder = WideOf(c.WorkDir);
    std::vector<wchar_t> commandLine(line.begin(), line.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = WORD(LaunchShowState(minimised));
    PROCESS_INFORMATION process{};
    // Into the job before its first instruction: suspended until assigned,
    // so that nothing it starts runs outside the job either.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        job ? CREATE_SUSPENDED : 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
      return nullptr;
    if (job) {
      // Refused where the caller's own job allows no job inside it (Windows
      // 7): the program then runs outside one, as it would without a job.
      AssignProcessToJobObject(job, process.hProcess);
      if (ResumeThread(process.hThread) == DWORD(-1)) {
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return nullptr;
      }
    }
    CloseHandle(process.hThread);
    return process.hProcess;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

Bool32 RunProgram(const std::string& file, const std::string& params, const std::string& workDir,
                  Bool32 minimised, Bool32 wait) {
  return wait ? RunAndWait(file, params, workDir, minimised)
              : ShellOpen(file, params, workDir, minimised);
}

HANDLE LaunchProcess(const std::string& file, const std::string& params, const std::string& workDir,
                     Bool32 minimised) {
  return StartProcess(file, params, workDir, minimised, nullptr);
}

void EndProcessWithin(HANDLE& process, DWORD timeoutMs) {
  if (!process) return;
  if (WaitForSingleObject(process, timeoutMs) == WAIT_TIMEOUT) TerminateProcess(process, 1);
  CloseHandle(process);
  process = nullptr;
}

Bool32 RunAndWait(const std::string& file, const std::string& params, const std::string& workDir,
                  Bool32 minimised) {
  HANDLE job = KillOnCloseJob();
  HANDLE process = StartProcess(file, params, workDir, minimised, job);
  if (process) {
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
  }
  // Closing the job ends whatever the program left running in it.
  if (job) CloseHandle(job);
  return process ? True32 : False32;
}

Bool32 ShellOpen(const std::string& file, const std::string& params, const std::string& workDir,
                 Bool32 minimised) {
  try {
    HWND owner = GetForegroundWindow();
    if (!owner) owner = GetDesktopWindow();
    HINSTANCE rc = ShellExecuteW(owner, nullptr, WideOf(file).c_str(), WideOf(params).c_str(),
                                 WideOf(workDir).c_str(), LaunchShowState(minimised));
    return reinterpret_cast<INT_PTR>(rc) > 32 ? True32 : False32;
  } catch (...) {
    return False32;
  }
}

void OpenDocument(const std::string& file) { RunProgram(file, "", "", False32, False32); }
