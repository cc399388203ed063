// dispprops: a stand-in for the Screen Saver page of Display Properties, for
// development and for the run script. It lists the .scr files of the system
// folder by their string resource 1, runs the chosen one with /p HWND inside
// a 152 x 112 miniature screen, and has a Settings button (/c:HWND, waited
// for) and a Preview button (/s, waited for). Its window is titled "Display
// Properties", the owner a saver's settings dialog looks for.
//
// Under Wine 8 the pixels of a child window that another process owns never
// reach the screen. With /inproc the miniature shows Spiralux's preview run
// inside this process instead: the saver's own preview window, loop and
// paint handler, linked in, on a second thread (the buttons still start the
// chosen saver).
//
//   dispprops [/list] [/inproc] [NAME.scr]
//     /list     prints "description|file" per saver and ends
//     /inproc   Spiralux's preview painted in this process
//     NAME.scr  the saver chosen at start (default Spiralux.scr, else the first)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/LaunchWin32.h"
#include "runtime/ScopedWin32.h"
#include "saver/SSaverWin32.h"
#include "saver/SpiraRunWin32.h"

namespace {

struct SaverEntry {
  std::string Description;  // string resource 1, or the file name without .scr
  std::string Path;
};

// Where a miniature of a 4:3 monitor sits in the client area.
constexpr int MiniLeft = 104, MiniTop = 26, MiniWidth = 152, MiniHeight = 112;
constexpr int ClientWidth = 360, ClientHeight = 300;
enum : int { IdList = 100, IdSettings, IdPreview };

HWND mainWindow, miniature, saverList;
std::vector<SaverEntry> savers;
HANDLE previewProcess;
bool inProcess = false;
HANDLE previewThread;

std::string SystemFolder() {
  char folder[MAX_PATH] = "";
  UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(folder, n) : std::string();
}

// The saver's own description, read without running it; Display Properties
// falls back to the file name in the same way.
std::string DescriptionOf(const std::string& path, const std::string& fileName) {
  std::string description;
  if (HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
    char text[256];
    int n = LoadStringA(module, 1, text, sizeof text);
    if (n > 0) description.assign(text, n);
    FreeLibrary(module);
  }
  if (description.empty()) description = fileName.substr(0, fileName.rfind('.'));
  return description;
}

std::vector<SaverEntry> FindSavers() {
  std::vector<SaverEntry> found;
  std::string folder = SystemFolder();
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*.scr").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return found;
  do {
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    std::string path = folder + "\\" + data.cFileName;
    found.push_back({DescriptionOf(path, data.cFileName), path});
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(found.begin(), found.end(), [](const SaverEntry& a, const SaverEntry& b) {
    return lstrcmpiA(a.Description.c_str(), b.Description.c_str()) < 0;
  });
  return found;
}

std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

HWND CreateMiniature() {
  return CreateWindowExA(0, "DispPropsMiniature", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                         MiniLeft, MiniTop, MiniWidth, MiniHeight, mainWindow, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

// A preview ends when its parent goes, as in Display Properties: the
// miniature is destroyed and made anew. A saver that does not end within
// five seconds is ended.
void StopPreview() {
  DestroyWindow(miniature);
  miniature = CreateMiniature();
  if (previewThread) {
    WaitForSingleObject(previewThread, 5000);
    CloseHandle(previewThread);
    previewThread = nullptr;
  }
  EndProcessWithin(previewProcess, 5000);
}

int SelectedSaver() {
  LRESULT index = SendMessageA(saverList, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : int(index);
}

// The preview loop of Spiralux on its own thread, its window a child of the
// miniature; it ends when the miniature is destroyed.
DWORD WINAPI InProcessPreview(void* parent) {
  Qssaver saver;
  saver.Window = static_cast<HWND>(parent);
  saver.OnPaint = PaintPreview;
  SaverPreview(&saver);
  return 0;
}

void StartPreview() {
  if (inProcess) {
    previewThread = CreateThread(nullptr, 0, InProcessPreview, miniature, 0, nullptr);
    return;
  }
  int index = SelectedSaver();
  if (index < 0) return;
  char params[32];
  wsprintfA(params, "/p %u", unsigned(reinterpret_cast<UINT_PTR>(miniature)));
  previewProcess = LaunchProcess(savers[index].Path, params, "", False32);
}

// Settings and Preview: the saver runs while this window is disabled and
// keeps painting; the preview starts again afterwards.
void RunAndWait(const std::string& params) {
  int index = SelectedSaver();
  if (index < 0) return;
  StopPreview();
  if (HANDLE process = LaunchProcess(savers[index].Path, params, "", False32)) {
    EnableWindow(mainWindow, FALSE);
    while (MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
      MSG msg;
      while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    EnableWindow(mainWindow, TRUE);
    SetForegroundWindow(mainWindow);
    CloseHandle(process);
  }
  StartPreview();
}

HWND AddControl(const char* cls, const char* text, DWORD style, int x, int y, int w, int h,
                int id) {
  HWND control = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                                 mainWindow, reinterpret_cast<HMENU>(INT_PTR(id)),
                                 GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  return control;
}

void AddControls(const std::string& chosen) {
  AddControl("STATIC", "&Screen saver", SS_LEFT, 20, 182, 170, 16, 0);
  saverList = AddControl("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 20, 200,
                         170, 200, IdList);
  AddControl("BUTTON", "Se&ttings", BS_PUSHBUTTON | WS_TABSTOP, 198, 199, 70, 24, IdSettings);
  AddControl("BUTTON", "Pre&view", BS_PUSHBUTTON | WS_TABSTOP, 272, 199, 70, 24, IdPreview);
  AddControl("BUTTON", "Close", BS_DEFPUSHBUTTON | WS_TABSTOP, 272, 260, 78, 26, IDCANCEL);
  int selected = savers.empty() ? -1 : 0;
  for (size_t i = 0; i < savers.size(); ++i) {
    SendMessageA(saverList, CB_ADDSTRING, 0, LPARAM(savers[i].Description.c_str()));
    if (lstrcmpiA(FileNameOf(savers[i].Path).c_str(), chosen.c_str()) == 0) selected = int(i);
  }
  SendMessageA(saverList, CB_SETCURSEL, WPARAM(selected), 0);
}

// The monitor around the miniature: a grey bezel on a stand.
void PaintMonitor(HDC dc) {
  ScopedGdiObj<HBRUSH> bezel(CreateSolidBrush(RGB(192, 192, 192)));
  ScopedSelectObject selected(dc, bezel);
  Rectangle(dc, MiniLeft - 12, MiniTop - 12, MiniLeft + MiniWidth + 12, MiniTop + MiniHeight + 16);
  Rectangle(dc, MiniLeft + 56, MiniTop + MiniHeight + 16, MiniLeft + 96, MiniTop + MiniHeight + 24);
  Rectangle(dc, MiniLeft + 36, MiniTop + MiniHeight + 24, MiniLeft + 116, MiniTop + MiniHeight + 30);
}

LRESULT CALLBACK MainProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      PaintMonitor(dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IdList:
          if (HIWORD(wParam) == CBN_SELCHANGE) {
            StopPreview();
            StartPreview();
          }
          return 0;
        case IdSettings: {
          char params[32];
          wsprintfA(params, "/c:%u", unsigned(reinterpret_cast<UINT_PTR>(window)));
          RunAndWait(params);
          return 0;
        }
        case IdPreview:
          RunAndWait("/s");
          return 0;
        case IDCANCEL:
          DestroyWindow(window);
          return 0;
      }
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, msg, wParam, lParam);
}

void PrintSavers() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  for (const SaverEntry& saver : savers) {
    std::string line = saver.Description + "|" + FileNameOf(saver.Path) + "\r\n";
    DWORD written;
    WriteFile(out, line.data(), DWORD(line.size()), &written, nullptr);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  std::string chosen = "Spiralux.scr";
  bool list = false;
  for (int i = 1; i < __argc; ++i) {
    if (lstrcmpiA(__argv[i], "/list") == 0)
      list = true;
    else if (lstrcmpiA(__argv[i], "/inproc") == 0)
      inProcess = true;
    else
      chosen = __argv[i];
  }
  savers = FindSavers();
  if (list) {
    PrintSavers();
    return 0;
  }

  WNDCLASSA cls = {};
  cls.lpfnWndProc = MainProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
  cls.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  cls.lpszClassName = "DispProps";
  RegisterClassA(&cls);
  WNDCLASSA mini = {};
  mini.lpfnWndProc = DefWindowProcA;
  mini.hInstance = instance;
  mini.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
  mini.lpszClassName = "DispPropsMiniature";
  RegisterClassA(&mini);

  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT frame = {0, 0, ClientWidth, ClientHeight};
  AdjustWindowRect(&frame, style, FALSE);
  mainWindow = CreateWindowExA(WS_EX_DLGMODALFRAME, "DispProps", "Display Properties", style, 40,
                               40, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                               nullptr, instance, nullptr);
  if (!mainWindow) return 1;
  miniature = CreateMiniature();
  AddControls(chosen);
  ShowWindow(mainWindow, show);
  UpdateWindow(mainWindow);
  StartPreview();

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(mainWindow, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  EndProcessWithin(previewProcess, 5000);
  if (previewThread) {
    WaitForSingleObject(previewThread, 5000);
    CloseHandle(previewThread);
  }
  return 0;
}
