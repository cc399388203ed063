// The preview window: a child window covering the miniature screen that the
// command line names, painted through the context's OnPaint slot.
#include <windows.h>

#include <exception>

#include "saver/SSaver.h"

namespace {

const char* const PreviewClass = "SSaver_Preview_Class";
Qssaver* current = nullptr;
// An exception out of OnPaint, kept until the loop has ended: it must not
// travel through DispatchMessageA.
std::exception_ptr paintFailure;

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  current->DC = dc;
  if (current->OnPaint) {
    try {
      current->OnPaint(current);
    } catch (...) {
      paintFailure = std::current_exception();
      PostQuitMessage(0);
    }
  } else {
    RECT all = {0, 0, current->Width, current->Height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  EndPaint(window, &ps);
}

}  // namespace

LRESULT CALLBACK SaverPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:  // the parent destroys the window; here the loop only ends
      PostQuitMessage(0);
      return 0;
    case WM_QUIT:
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void SaverPreview(Qssaver* saver) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.style = CS_PARENTDC;
  wc.lpfnWndProc = SaverPreviewProc;
  wc.hInstance = instance;
  wc.lpszClassName = PreviewClass;
  RegisterClassA(&wc);

  RECT parent;
  if (!GetWindowRect(saver->Window, &parent)) {
    // No such window: nothing to cover, and no loop may wait for it.
    UnregisterClassA(PreviewClass, instance);
    return;
  }
  saver->Width = parent.right - parent.left;
  saver->Height = parent.bottom - parent.top;
  current = saver;
  paintFailure = nullptr;
  saver->PreviewWindow =
      CreateWindowExA(0, PreviewClass, "SSaver_Preview_Window", WS_CHILD | WS_VISIBLE, 0, 0,
                      saver->Width, saver->Height, saver->Window, nullptr, instance, nullptr);
  if (!saver->PreviewWindow) {
    UnregisterClassA(PreviewClass, instance);
    return;
  }
  if (saver->OnPreviewStart) saver->OnPreviewStart(saver);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (paintFailure) {
    std::exception_ptr failure = paintFailure;
    paintFailure = nullptr;
    std::rethrow_exception(failure);
  }
  if (current->OnPreviewStop) current->OnPreviewStop(current);
  UnregisterClassA(PreviewClass, instance);
}
