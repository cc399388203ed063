// The one way the Windows suite waits for something another thread or
// process does: poll a condition every 50 ms up to a time limit.
#pragma once

#include <windows.h>

#include <functional>

namespace wintest {

// A generous bound for "soon" and "at once" under a loaded Wine.
constexpr DWORD Soon = 20000;

// True as soon as done() is; false when it still is not after timeoutMs.
inline bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = Soon) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= timeoutMs) return done();
    Sleep(50);
  }
  return true;
}

}  // namespace wintest
