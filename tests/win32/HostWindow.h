// A stand-in for the miniature screen of Display Properties: a white popup
// window of a given size on a thread of its own, which keeps answering its
// messages (a child window made by another thread or process sends it
// WM_PARENTNOTIFY and waits for the answer). Helpers read a window's pixels
// back and wait for windows of other processes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <future>
#include <thread>
#include <vector>

#include "Wait.h"

namespace wintest {

class HostWindow {
 public:
  HostWindow(int width, int height) {
    std::promise<HWND> made;
    std::future<HWND> window = made.get_future();
    thread_ = std::thread([&made, width, height] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
      wc.lpszClassName = "SpiraluxTestHost";
      RegisterClassA(&wc);
      HWND w = CreateWindowExA(0, wc.lpszClassName, "host", WS_POPUP | WS_VISIBLE, 40, 30, width, height,
                               nullptr, nullptr, wc.hInstance, nullptr);
      made.set_value(w);
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    });
    window_ = window.get();
  }
  ~HostWindow() { Destroy(); }
  HWND Window() const { return window_; }
  // Destroys the window on its own thread (and with it every child window)
  // and ends the thread.
  void Destroy() {
    if (!thread_.joinable()) return;
    PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  std::thread thread_;
  HWND window_ = nullptr;
};

// The window's client pixels as blue, green, red bytes, top row first: a
// copy from its device context into a 32-bit DIB section (on a palette
// display each pixel comes back as the colour of its system palette entry).
inline std::vector<uint8_t> WindowPixels(HWND window, int width, int height) {
  std::vector<uint8_t> out;
  HDC dc = GetDC(window);
  HDC memory = CreateCompatibleDC(dc);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
  bmi.bmiHeader.biWidth = width;
  bmi.bmiHeader.biHeight = -height;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(memory, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section) {
    HGDIOBJ old = SelectObject(memory, section);
    if (BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY)) {
      GdiFlush();
      const uint8_t* p = static_cast<const uint8_t*>(bits);
      for (int i = 0; i < width * height; ++i) out.insert(out.end(), p + 4 * i, p + 4 * i + 3);
    }
    SelectObject(memory, old);
    DeleteObject(section);
  }
  DeleteDC(memory);
  ReleaseDC(window, dc);
  return out;
}

// Waits at most timeoutMs for a child window of the class inside parent,
// made and shown (a window of another process can be found while its
// creation is still under way).
inline HWND WaitForChild(HWND parent, const char* className, DWORD timeoutMs) {
  HWND child = nullptr;
  WaitUntil(
      [&] {
        child = FindWindowExA(parent, nullptr, className, nullptr);
        return child && IsWindowVisible(child);
      },
      timeoutMs);
  return child && IsWindowVisible(child) ? child : nullptr;
}

}  // namespace wintest
