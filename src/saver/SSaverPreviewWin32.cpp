// The preview window: a child window covering the miniature screen that the
// command line names, painted through the context's OnPaint slot.
#include <exception>

#include "saver/SSaverWin32.h"

namespace {

const char* const PreviewClass = "SSaver_Preview_Class";
// The state of the preview run in progress (one per process: the loop runs
// on the thread that created the window).
struct PreviewRun {
  Qssaver* Saver = nullptr;
  // An exception out of OnPaint, kept until the loop has ended: it must not
  // travel through DispatchMessageA.
  std::exception_ptr PaintFailure;
};
PreviewRun run;

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  Qssaver* saver = run.Saver;
  saver->DC = dc;
  if (saver->OnPaint) {
    try {
      saver->OnPaint(saver);
    } catch (...) {
      run.PaintFailure = std::current_exception();
      PostQuitMessage(0);
    }
  } else {
    RECT all = {0, 0, saver->Width, saver->Height};
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
  run.Saver = saver;
  run.PaintFailure = nullptr;
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
  if (run.PaintFailure) {
    std::exception_ptr failure = run.PaintFailure;
    run.PaintFailure = nullptr;
    std::rethrow_exception(failure);
  }
  if (run.Saver->OnPreviewStop) run.Saver->OnPreviewStop(run.Saver);
  UnregisterClassA(PreviewClass, instance);
}
