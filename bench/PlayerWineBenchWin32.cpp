// PlayerWineBench: the player's frames as the Windows program draws them,
// timed under Wine on the display it runs on (bench/player_wine.sh starts a
// display of each depth at the size it is given).
//   PlayerWineBench frames N [T]  N frames drawn, then put on the screen,
//                              on T threads (the player's own number when
//                              not given): the median milliseconds of
//                              drawing, of putting on the screen, and of
//                              both (wall clock, which a loaded machine
//                              stretches), and the processor time a frame
//                              took
//   PlayerWineBench cpu S      the player's loop for S seconds at the default
//                              frame delay: processor time (the whole
//                              process's, its start included) and its share
//                              of one core over the S seconds, frames drawn
//                              and dropped
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "player/PlayerWin32.h"

namespace {

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) * 1000.0 / double(f.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Ms(const FILETIME& t) {
  return double(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000.0;
}

double ProcessorMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return Ms(user) + Ms(kernel);
}

int Frames(int32_t count, int32_t threads) {
  PlayerScreen screen;
  if (!PlayerOpen(screen)) return 1;
  if (threads > 0)
    for (PlayerFrame& f : screen.Scenes->Frames) SpiralSetWorkers(f.Scene, threads - 1);
  std::vector<double> draw, present, both;
  const double cpu0 = ProcessorMs();
  for (int32_t i = 0; i < count; ++i) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    double t0 = Now();
    PlayerDraw(screen, (i + 1) * SpiralSecondsPerFrame);
    double t1 = Now();
    PlayerPresent(screen);
    double t2 = Now();
    draw.push_back(t1 - t0);
    present.push_back(t2 - t1);
    both.push_back(t2 - t0);
  }
  const double cpu = (ProcessorMs() - cpu0) / count;
  std::printf("%dx%d %s, %d threads: drawn %.2f ms, put on screen %.2f ms, both %.2f ms (medians of %d "
              "frames); processor %.2f ms a frame\n",
              screen.Scenes->Layout.Window.Width, screen.Scenes->Layout.Window.Height,
              screen.Scenes->Indexed ? "256 colours" : "true colour",
              SpiralWorkers(screen.Scenes->Frames.front().Scene) + 1, Median(draw), Median(present),
              Median(both), count, cpu);
  PlayerClose(screen);
  return 0;
}

int Cpu(int32_t seconds) {
  // What Wine spent starting the process, before the player's own start.
  const double started = ProcessorMs();
  PlayerStats stats;
  if (!PlayerRun(17, seconds * 1000, &stats)) return 1;
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  std::printf("%d s at 17 ms: processor %.0f ms (user %.0f, system %.0f), %.1f %% of a core; "
              "%lld frames drawn, %lld dropped; %.0f ms of it before the player started\n",
              seconds, Ms(user) + Ms(kernel), Ms(user), Ms(kernel), (Ms(user) + Ms(kernel)) / (seconds * 10.0),
              (long long)stats.Drawn, (long long)stats.Dropped, started);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int32_t n = argc > 2 ? std::atoi(argv[2]) : 0;
  int rc = 2;
  if (argc > 2 && std::strcmp(argv[1], "frames") == 0 && n > 0) rc = Frames(n, argc > 3 ? std::atoi(argv[3]) : 0);
  if (argc > 2 && std::strcmp(argv[1], "cpu") == 0 && n > 0) rc = Cpu(n);
  std::fflush(stdout);
  return rc;
}
