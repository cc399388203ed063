// PlayerWatch: what a long run of the player holds, sampled from outside
// (bench/player_leaks.sh runs it for 10 minutes on each display depth).
//   PlayerWatch PLAYER SECONDS INTERVAL
// starts the player program PLAYER, waits for its window, samples the
// process every INTERVAL seconds for SECONDS seconds, closes the window and
// prints each sample, then per measure its first and last value and its
// largest growth over the first sample.
//
// The measures: private bytes (the committed private regions that
// VirtualQueryEx reports, which is what GetProcessMemoryInfo's PrivateUsage
// counts where a system fills it in; Wine leaves it 0), the GDI and USER
// objects (GetGuiResources) and the kernel handles (GetProcessHandleCount;
// where that answers 0, as Wine does, the process's entries in the system's
// handle list). Wine answers GetGuiResources with 0 for every process: the
// lines say so instead of reporting a flat count that was never counted.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "player/PlayerWin32.h"

namespace {

struct Sample {
  double Seconds;
  int64_t Values[4];  // private bytes, GDI objects, USER objects, handles
};
const char* const Measures[4] = {"private bytes", "GDI objects", "USER objects", "handles"};

int64_t PrivateBytes(HANDLE process) {
  int64_t total = 0;
  MEMORY_BASIC_INFORMATION m;
  for (uintptr_t at = 0; VirtualQueryEx(process, reinterpret_cast<void*>(at), &m, sizeof m) == sizeof m;) {
    if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) total += int64_t(m.RegionSize);
    const uintptr_t next = reinterpret_cast<uintptr_t>(m.BaseAddress) + m.RegionSize;
    if (next <= at) break;
    at = next;
  }
  return total;
}

// The process's entries in the system's handle list (SystemHandleInformation).
int64_t ListedHandles(DWORD processId) {
  struct Entry {
    USHORT ProcessId, CreatorBackTraceIndex;
    UCHAR ObjectType, Attributes;
    USHORT Handle;
    PVOID Object;
    ULONG Access;
  };
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  std::vector<uint8_t> list(size_t(1) << 20);
  ULONG needed = 0;
  while (query(16, list.data(), ULONG(list.size()), &needed) != 0) {
    if (list.size() >= (size_t(1) << 28)) return 0;
    list.resize(list.size() * 2);
  }
  const ULONG count = *reinterpret_cast<const ULONG*>(list.data());
  const Entry* e = reinterpret_cast<const Entry*>(list.data() + sizeof(ULONG_PTR));
  int64_t mine = 0;
  for (ULONG i = 0; i < count; ++i) mine += e[i].ProcessId == USHORT(processId);
  return mine;
}

Sample Take(HANDLE process, DWORD processId, double seconds) {
  DWORD handles = 0;
  GetProcessHandleCount(process, &handles);
  return Sample{seconds,
                {PrivateBytes(process), int64_t(GetGuiResources(process, GR_GDIOBJECTS)),
                 int64_t(GetGuiResources(process, GR_USEROBJECTS)),
                 handles ? int64_t(handles) : ListedHandles(processId)}};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: PlayerWatch PLAYER SECONDS INTERVAL\n");
    return 2;
  }
  const int32_t seconds = std::atoi(argv[2]), interval = std::max(1, std::atoi(argv[3]));
  std::string commandLine = std::string("\"") + argv[1] + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION player{};
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &player)) {
    std::fprintf(stderr, "PlayerWatch: cannot start %s\n", argv[1]);
    return 1;
  }
  CloseHandle(player.hThread);
  HWND window = nullptr;
  for (int32_t i = 0; i < 600 && !(window = FindWindowA(PlayerClass, PlayerTitle)); ++i) Sleep(100);
  std::vector<Sample> samples;
  const DWORD start = GetTickCount();
  for (int32_t t = 0; window && t <= seconds; t += interval) {
    const DWORD due = start + DWORD(t) * 1000, now = GetTickCount();
    if (WaitForSingleObject(player.hProcess, due > now ? due - now : 0) != WAIT_TIMEOUT) break;
    samples.push_back(Take(player.hProcess, player.dwProcessId, (GetTickCount() - start) / 1000.0));
    const Sample& s = samples.back();
    std::printf("%6.0f s: %lld private bytes, %lld GDI objects, %lld USER objects, %lld handles\n", s.Seconds,
                (long long)s.Values[0], (long long)s.Values[1], (long long)s.Values[2], (long long)s.Values[3]);
    std::fflush(stdout);
  }
  const bool played = window && samples.size() == size_t(seconds / interval + 1);
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(player.hProcess, 30000) == WAIT_TIMEOUT) TerminateProcess(player.hProcess, 1);
  CloseHandle(player.hProcess);
  if (samples.empty()) {
    std::fprintf(stderr, "PlayerWatch: the player showed no window\n");
    return 1;
  }
  for (int32_t m = 0; m < 4; ++m) {
    int64_t first = samples.front().Values[m], last = samples.back().Values[m], growth = 0;
    for (const Sample& s : samples) growth = std::max(growth, s.Values[m] - first);
    if (m == 1 || m == 2) {
      bool counted = false;
      for (const Sample& s : samples) counted = counted || s.Values[m] != 0;
      if (!counted) {
        std::printf("%s: not counted by this system (GetGuiResources answers 0)\n", Measures[m]);
        continue;
      }
    }
    std::printf("%s: first %lld, last %lld, largest growth %lld\n", Measures[m], (long long)first, (long long)last,
                (long long)growth);
  }
  if (!played) std::printf("the player ended before the time was up\n");
  return played ? 0 : 1;
}
