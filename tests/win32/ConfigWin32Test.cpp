// The configuration dialog of Spiralux.scr: its control tree and the speed
// it opens with, read by messages from this process; then the dialog worked
// as a user works it, by real X key and mouse events (xdotool, started
// through Wine's Unix spawn) into the window under Xvfb, the dialog's caption
// and the registry checked after each step; the link opened through an http
// handler that this test registers; the layout at 96 and 144 DPI, the
// design scaled by the toolkit's rule.
#include "HostWindow.h"
#include "WinTest.h"

#include <commctrl.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "saver/wConfig.h"
#include "saver/wConfigWin32.h"

using namespace wintest;

// For the failure messages of the layout checks.
static std::ostream& operator<<(std::ostream& os, const UiRect& r) {
  return os << "(" << r.Left << ", " << r.Top << ", " << r.Width << " x " << r.Height << ")";
}

namespace {

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string TextOf(HWND window) {
  char text[256] = "";
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

// The window's place and size inside its parent's client area.
UiRect RectInParent(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The controls of a shown dialog, found by class and text.
struct Dialog {
  HWND form = nullptr, box = nullptr, bar = nullptr, label = nullptr, ok = nullptr,
       cancel = nullptr;

  static BOOL CALLBACK Collect(HWND window, LPARAM param) {
    Dialog* d = reinterpret_cast<Dialog*>(param);
    std::string cls = ClassOf(window);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    if (cls == "msctls_trackbar32") d->bar = window;
    if (cls == "Static") d->label = window;
    if (cls == "Button" && (style & BS_TYPEMASK) == BS_GROUPBOX) d->box = window;
    if (cls == "Button" && TextOf(window) == "OK") d->ok = window;
    if (cls == "Button" && TextOf(window) == "Cancel") d->cancel = window;
    return TRUE;
  }
  bool Complete() const { return form && box && bar && label && ok && cancel; }
  std::string Caption() const { return TextOf(box); }
  int Position() const { return int(SendMessageA(bar, TBM_GETPOS, 0, 0)); }
  // The push buttons that show the default frame.
  std::string Framed() const {
    auto framed = [](HWND b) {
      return (GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    };
    std::string both = framed(ok) && framed(cancel) ? " and " : "";
    return (framed(ok) ? "OK" : "") + both + (framed(cancel) ? "Cancel" : "");
  }
  HWND Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(form, nullptr), &info);
    return info.hwndFocus;
  }
};

// Spiralux.scr started with args, and its dialog once it is shown.
Dialog OpenDialog(const Process& scr) {
  Dialog d;
  WaitUntil([&] {
    d.form = VisibleWindowOf(scr.Id(), "TfrmConfig");
    return d.form != nullptr || !scr.Running();
  });
  if (d.form) {
    EnumChildWindows(d.form, Dialog::Collect, reinterpret_cast<LPARAM>(&d));
    // The caption is set once LoadSettings has run.
    WaitUntil([&] { return TextOf(d.form) == "Spiralux 1.0"; });
  }
  return d;
}

void StoreDelay(DWORD delay) { SetSetting("FrameDelay", REG_DWORD, &delay, sizeof delay); }

// --- real input ----------------------------------------------------------------

// Runs xdotool with the arguments and waits for it; true when it succeeded.
bool Xdo(std::initializer_list<std::string> args) {
  using Spawn = LONG(WINAPI*)(char* const argv[], int wait);
  static Spawn spawn = reinterpret_cast<Spawn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
  if (!spawn) return false;
  std::vector<std::string> words = {"xdotool"};
  words.insert(words.end(), args);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  return spawn(argv.data(), TRUE) == 0;
}

std::string XWindowOf(HWND form) {
  return std::to_string(reinterpret_cast<uintptr_t>(GetPropA(form, "__wine_x11_whole_window")));
}

// Gives the window the X focus, then types the keys with real key events.
bool Keys(HWND window, std::initializer_list<std::string> keys) {
  if (!Xdo({"windowfocus", "--sync", XWindowOf(window)})) return false;
  // Wine activates the window on the focus event: wait until it has.
  WaitUntil([&] { return GetForegroundWindow() == window; }, 5000);
  for (const std::string& key : keys)
    if (!Xdo({"key", "--delay", "60", key})) return false;
  return true;
}

bool Keys(const Dialog& d, std::initializer_list<std::string> keys) { return Keys(d.form, keys); }

POINT CentreOf(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

bool ClickAt(POINT p) {
  return Xdo({"mousemove", "--sync", std::to_string(p.x), std::to_string(p.y), "click", "1"});
}

// A rectangle that the trackbar of another process writes, by message, into
// memory of its own process; on the screen.
RECT BarRect(const Process& scr, HWND bar, UINT message) {
  RECT r = {0, 0, 0, 0};
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, scr.Id());
  if (!process) return r;
  void* remote = VirtualAllocEx(process, nullptr, sizeof r, MEM_COMMIT, PAGE_READWRITE);
  if (remote) {
    SendMessageA(bar, message, 0, reinterpret_cast<LPARAM>(remote));
    ReadProcessMemory(process, remote, &r, sizeof r, nullptr);
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  }
  CloseHandle(process);
  MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Places are read in physical pixels, also while the display runs at 144 DPI.
const bool dpiAware = SetProcessDPIAware() != 0;

LOGFONTA FontOf(HWND window) {
  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font;
}

// The face that the system gives for the window's font, and its kind.
std::string RealFaceOf(HWND window) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
  char face[LF_FACESIZE] = "";
  GetTextFaceA(dc, sizeof face, face);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return std::string(face) + ((metrics.tmPitchAndFamily & TMPF_TRUETYPE) ? ", TrueType" : ", bitmap") +
         ", " + std::to_string(metrics.tmHeight) + " pixels high";
}

// A value under HKEY_CURRENT_USER set for the programs started afterwards;
// the value before comes back at the end of the scope.
class UserSetting {
 public:
  UserSetting(const char* path, const char* name, DWORD type, const void* data, DWORD size)
      : name_(name) {
    RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                    nullptr);
    DWORD savedSize = sizeof saved_;
    had_ = RegQueryValueExA(key_, name, nullptr, &savedType_, saved_, &savedSize) == ERROR_SUCCESS;
    savedSize_ = savedSize;
    RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size);
  }
  ~UserSetting() {
    if (had_)
      RegSetValueExA(key_, name_.c_str(), 0, savedType_, saved_, savedSize_);
    else
      RegDeleteValueA(key_, name_.c_str());
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
  std::string name_;
  BYTE saved_[256] = {};
  DWORD savedType_ = 0, savedSize_ = 0;
  bool had_ = false;
};

// The display's pixels per inch for the programs started afterwards.
class DisplayDpi : public UserSetting {
 public:
  explicit DisplayDpi(DWORD dpi)
      : UserSetting("Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, sizeof dpi) {}
};

// Without a window manager Wine draws the caption and frame (the close box
// among them) only for windows that it is told are not managed.
class UnmanagedWindows : public UserSetting {
 public:
  UnmanagedWindows() : UserSetting("Software\\Wine\\X11 Driver", "Managed", REG_SZ, "N", 2) {}
};

class ConfigDialog : public SettingsTest {
 private:
  UnmanagedWindows unmanaged_;
};

}  // namespace

// The form made in this process: its fonts as designed, and the face that
// Wine gives for "MS Sans Serif".
TEST(ConfigForm, FontsAreAsDesigned) {
  ASSERT_TRUE(dpiAware);
  UiApplication application;
  application.Initialize();
  TfrmConfig form;
  form.LoadSettings();
  LOGFONTA box = FontOf(form.boxMain.Handle());
  EXPECT_STREQ(box.lfFaceName, "MS Sans Serif");
  EXPECT_EQ(box.lfHeight, -11);
  EXPECT_EQ(box.lfWeight, FW_NORMAL);
  EXPECT_EQ(box.lfCharSet, DEFAULT_CHARSET);
  for (HWND w : {form.btnOK.Handle(), form.btnCancel.Handle()})
    EXPECT_EQ(FontOf(w).lfHeight, -11);
  LOGFONTA link = FontOf(form.labHome.Handle());
  EXPECT_STREQ(link.lfFaceName, "MS Sans Serif");
  EXPECT_EQ(link.lfHeight, -13);  // 10 points
  EXPECT_EQ(link.lfWeight, FW_BOLD);
  EXPECT_TRUE(link.lfUnderline);
  EXPECT_EQ(form.Font().Colour, CLR_INVALID) << "the window-text colour";
  EXPECT_EQ(form.labHome.Font().Colour, RGB(0, 0, 255));
  // The label keeps the height of its text in the link font.
  HDC dc = GetDC(form.labHome.Handle());
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(
                                     SendMessageA(form.labHome.Handle(), WM_GETFONT, 0, 0)));
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(form.labHome.Handle(), dc);
  EXPECT_EQ(form.labHome.Bounds().Height, metrics.tmHeight);
  RecordProperty("MSSansSerifFace", RealFaceOf(form.boxMain.Handle()));
  std::printf("\"MS Sans Serif\" is drawn with the face %s\n",
              RealFaceOf(form.boxMain.Handle()).c_str());
}

// The form shown in this process, the real pointer moved over it: the
// pointing hand over the link, the class's own cursor elsewhere.
TEST(ConfigForm, TheLinkShowsThePointingHand) {
  UiApplication application;
  application.Initialize();
  TfrmConfig form;
  form.LoadSettings();
  form.Show();
  HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
  auto cursorAfterMoves = [] {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return GetCursor();
  };
  for (HWND over : {form.labHome.Handle(), form.barSpeed.Handle(), form.labHome.Handle()}) {
    POINT p = CentreOf(over);
    ASSERT_TRUE(Xdo({"mousemove", "--sync", std::to_string(p.x), std::to_string(p.y)}));
    bool link = over == form.labHome.Handle();
    EXPECT_TRUE(WaitUntil([&] { return (cursorAfterMoves() == hand) == link; })) << link;
  }
}

// --- by messages ------------------------------------------------------------------

TEST_F(ConfigDialog, ControlTreeIsAsDesigned) {
  Process scr(Scr("/c"));
  Dialog d = OpenDialog(scr);
  ASSERT_TRUE(d.Complete());

  EXPECT_EQ(TextOf(d.form), "Spiralux 1.0");
  LONG style = GetWindowLongA(d.form, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_TRUE(GetWindowLongA(d.form, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);

  EXPECT_EQ(GetParent(d.box), d.form);
  EXPECT_EQ(GetParent(d.bar), d.box);
  EXPECT_EQ(GetParent(d.label), d.box);
  EXPECT_EQ(GetParent(d.ok), d.form);
  EXPECT_EQ(GetParent(d.cancel), d.form);
  EXPECT_EQ(GetWindowLongA(d.label, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
  EXPECT_EQ(TextOf(d.label), "Click here to visit home page");
  EXPECT_EQ(TextOf(d.ok), "OK");
  EXPECT_EQ(TextOf(d.cancel), "Cancel");

  LONG bar = GetWindowLongA(d.bar, GWL_STYLE);
  EXPECT_EQ(bar & (TBS_VERT | TBS_BOTH | TBS_AUTOTICKS), TBS_BOTH | TBS_AUTOTICKS);
  EXPECT_EQ(SendMessageA(d.bar, TBM_GETRANGEMIN, 0, 0), 1);
  EXPECT_EQ(SendMessageA(d.bar, TBM_GETRANGEMAX, 0, 0), 50);
  EXPECT_EQ(SendMessageA(d.bar, TBM_GETNUMTICS, 0, 0), 50);  // one a position
  EXPECT_EQ(SendMessageA(d.bar, TBM_GETLINESIZE, 0, 0), 1);
  EXPECT_EQ(SendMessageA(d.bar, TBM_GETPAGESIZE, 0, 0), 2);

  // Tab order: the bar inside the box, OK, Cancel, and round again.
  EXPECT_EQ(GetNextDlgTabItem(d.form, nullptr, FALSE), d.bar);
  EXPECT_EQ(GetNextDlgTabItem(d.form, d.bar, FALSE), d.ok);
  EXPECT_EQ(GetNextDlgTabItem(d.form, d.ok, FALSE), d.cancel);
  EXPECT_EQ(GetNextDlgTabItem(d.form, d.cancel, FALSE), d.bar);
  EXPECT_EQ(d.Framed(), "OK");
  EXPECT_EQ(LOWORD(SendMessageA(d.form, DM_GETDEFID, 0, 0)), GetDlgCtrlID(d.ok));

  PostMessageA(d.cancel, BM_CLICK, 0, 0);
  EXPECT_TRUE(scr.Ends(Soon));
}

TEST_F(ConfigDialog, OpensAtTheStoredSpeedAndOkStoresThePosition) {
  struct Case {
    const char* stored;  // how FrameDelay is stored
    int position;
    const char* caption;
    int storedByOk;
  };
  const Case cases[] = {
      {"none", 31, "Animation Speed 61%", 17}, {"1", 50, "Animation Speed 99%", 3},
      {"17", 31, "Animation Speed 61%", 17},   {"40", 3, "Animation Speed 5%", 38},
      {"41", 3, "Animation Speed 5%", 38},     {"0", 50, "Animation Speed 99%", 3},
      {"string", 31, "Animation Speed 61%", 17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    DeleteSettings();
    std::string stored = c.stored;
    if (stored == "string")
      SetSettingText("FrameDelay", "17");
    else if (stored != "none")
      StoreDelay(DWORD(std::stoi(stored)));
    Process scr(Scr("/c"));
    Dialog d = OpenDialog(scr);
    ASSERT_TRUE(d.Complete());
    EXPECT_EQ(d.Position(), c.position);
    EXPECT_EQ(d.Caption(), c.caption);
    PostMessageA(d.ok, BM_CLICK, 0, 0);
    EXPECT_TRUE(scr.Ends(Soon));
    EXPECT_EQ(StoredDelay(), c.storedByOk);
  }
}

TEST_F(ConfigDialog, EveryConfigurationCommandLineShowsIt) {
  for (const char* args : {"/c", "/c:1234", "/l", "", "/x"}) {
    SCOPED_TRACE(args);
    StoreDelay(9);
    Process scr(Scr(args));
    Dialog d = OpenDialog(scr);
    ASSERT_TRUE(d.Complete());
    EXPECT_EQ(d.Caption(), "Animation Speed 79%");
    PostMessageA(d.form, WM_CLOSE, 0, 0);
    EXPECT_TRUE(scr.Ends(Soon));
    EXPECT_EQ(StoredDelay(), 9) << "closing stores nothing";
  }
}

TEST_F(ConfigDialog, ReadingTheDelayCreatesTheMissingKey) {
  ASSERT_FALSE(SettingsKeyExists());
  Process scr(Scr("/c"));
  Dialog d = OpenDialog(scr);
  ASSERT_TRUE(d.Complete());
  EXPECT_TRUE(SettingsKeyExists());
  EXPECT_EQ(StoredDelay(), -1);
  PostMessageA(d.cancel, BM_CLICK, 0, 0);
  EXPECT_TRUE(scr.Ends(Soon));
  EXPECT_EQ(StoredDelay(), -1) << "Cancel stores nothing";
}

// --- by real input ----------------------------------------------------------------

TEST_F(ConfigDialog, ReturnPressesOkWhileTheBarHasTheFocus) {
  StoreDelay(1);
  Process scr(Scr("/c"));
  Dialog d = OpenDialog(scr);
  ASSERT_TRUE(d.Complete());
  EXPECT_EQ(d.Caption(), "Animation Speed 99%");
  ASSERT_TRUE(Keys(d, {"Return"}));
  EXPECT_TRUE(scr.Ends(Soon));
  EXPECT_EQ(StoredDelay(), 3);
}

TEST_F(ConfigDialog, ArrowPageAndEndKeysMoveTheBar) {
  Process scr(Scr("/c"));
  Dialog d = OpenDialog(scr);
  ASSERT_TRUE(d.Complete());
  struct Step {
    const char* key;
    int position;
  };
  // Page keys step 2, arrows 1; Page_Up and Left go towards the minimum.
  const Step steps[] = {{"Left", 30},      {"Right", 31},    {"Right", 32}, {"Page_Up", 30},
                        {"Page_Down", 32}, {"End", 50},      {"Home", 1},   {"Right", 2},
                        {"Page_Down", 4},  {"Page_Down", 6}, {"Home", 1}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.key);
    ASSERT_TRUE(Keys(d, {s.key}));
    std::string caption = "Animation Speed " + std::to_string(2 * s.position - 1) + "%";
    EXPECT_TRUE(WaitUntil([&] { return d.Caption() == caption; })) << d.Caption();
    EXPECT_EQ(d.Position(), s.position);
  }
  EXPECT_EQ(StoredDelay(), -1) << "nothing is stored before OK";
  ASSERT_TRUE(ClickAt(CentreOf(d.ok)));
  EXPECT_TRUE(scr.Ends(Soon));
  EXPECT_EQ(StoredDelay(), 40);
}

TEST_F(ConfigDialog, EscapeAndCancelStoreNothing) {
  for (const char* how : {"Escape", "Cancel", "close box", "Alt+F4"}) {
    SCOPED_TRACE(how);
    StoreDelay(29);
    Process scr(Scr("/c"));
    Dialog d = OpenDialog(scr);
    ASSERT_TRUE(d.Complete());
    EXPECT_EQ(d.Position(), 16);
    ASSERT_TRUE(Keys(d, {"End"}));
    EXPECT_TRUE(WaitUntil([&] { return d.Caption() == "Animation Speed 99%"; }));
    std::string way = how;
    if (way == "Escape") {
      ASSERT_TRUE(Keys(d, {"Escape"}));
    } else if (way == "Cancel") {
      ASSERT_TRUE(ClickAt(CentreOf(d.cancel)));
    } else if (way == "Alt+F4") {
      ASSERT_TRUE(Keys(d, {"alt+F4"}));
    } else {
      // The close box: the caption's right end, Wine drawing the frame.
      RECT outer, client;
      GetWindowRect(d.form, &outer);
      GetClientRect(d.form, &client);
      POINT origin = {0, 0};
      ClientToScreen(d.form, &origin);
      int caption = GetSystemMetrics(SM_CYCAPTION);
      POINT box = {outer.right - (outer.right - origin.x - client.right) - caption / 2 - 2,
                   origin.y - caption / 2};
      ASSERT_TRUE(ClickAt(box));
    }
    EXPECT_TRUE(scr.Ends(Soon));
    EXPECT_EQ(StoredDelay(), 29);
  }
}

// What the user does before Return, with the bar first moved from 31 to 30:
// the push button that then shows the default frame, and what Return stores
// (18, the delay of position 30, when it presses OK; Cancel leaves 17).
TEST_F(ConfigDialog, ReturnPressesTheFocusedButtonOrElseOk) {
  struct Case {
    std::vector<std::string> steps;  // keys, or the two gestures below
    const char* framed;
    int stored;
  };
  const char* const slideOff = "press Cancel and slide off";
  const char* const awayAndBack = "click another window, then the dialog's face";
  const Case cases[] = {
      {{"Tab"}, "OK", 18},
      {{"Tab", "Tab"}, "Cancel", 17},
      {{"shift+Tab"}, "Cancel", 17},
      // Round the tab order back to the bar, where Left moves it to 29.
      {{"Tab", "Tab", "Tab", "Left"}, "OK", 19},
      {{"Tab", "Tab", "shift+Tab"}, "OK", 18},
      {{slideOff}, "Cancel", 17},
      {{"Tab", "Tab", awayAndBack}, "Cancel", 17},
  };
  HostWindow other(100, 100);
  for (const Case& c : cases) {
    std::string how;
    for (const std::string& step : c.steps) how += step + "; ";
    SCOPED_TRACE(how);
    StoreDelay(17);
    Process scr(Scr("/c"));
    Dialog d = OpenDialog(scr);
    ASSERT_TRUE(d.Complete());
    ASSERT_TRUE(Keys(d, {"Left"}));
    for (const std::string& step : c.steps) {
      if (step == slideOff) {
        POINT on = CentreOf(d.cancel), off = CentreOf(d.box);
        ASSERT_TRUE(Xdo({"mousemove", "--sync", std::to_string(on.x), std::to_string(on.y),
                         "mousedown", "1", "mousemove", "--sync", std::to_string(off.x),
                         std::to_string(off.y), "mouseup", "1"}));
        EXPECT_TRUE(WaitUntil([&] { return d.Focus() == d.cancel; }));
      } else if (step == awayAndBack) {
        ASSERT_TRUE(ClickAt(CentreOf(other.Window())));
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other.Window(); }));
        // Between the group box and the buttons: no control there.
        POINT face = {20, 165};
        ClientToScreen(d.form, &face);
        ASSERT_TRUE(ClickAt(face));
        EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == d.form; }));
      } else {
        ASSERT_TRUE(Keys(d, {step}));
      }
    }
    ASSERT_TRUE(Keys(d, {}));
    EXPECT_TRUE(WaitUntil([&] { return d.Framed() == c.framed; })) << d.Framed();
    EXPECT_TRUE(scr.Running());
    ASSERT_TRUE(Keys(d, {"Return"}));
    EXPECT_TRUE(scr.Ends(Soon));
    EXPECT_EQ(StoredDelay(), c.stored);
  }
}

TEST_F(ConfigDialog, DraggingTheThumbUpdatesTheCaptionOnTheWay) {
  Process scr(Scr("/c"));
  Dialog d = OpenDialog(scr);
  ASSERT_TRUE(d.Complete());
  RECT thumb = BarRect(scr, d.bar, TBM_GETTHUMBRECT);
  RECT channel = BarRect(scr, d.bar, TBM_GETCHANNELRECT);
  ASSERT_LT(thumb.left, thumb.right);
  int y = (thumb.top + thumb.bottom) / 2;
  ASSERT_TRUE(Xdo({"mousemove", "--sync", std::to_string((thumb.left + thumb.right) / 2),
                   std::to_string(y), "mousedown", "1"}));
  // Half way to the left end, still held: the caption follows the thumb.
  int halfway = (channel.left + (thumb.left + thumb.right) / 2) / 2;
  ASSERT_TRUE(Xdo({"mousemove", "--sync", std::to_string(halfway), std::to_string(y)}));
  EXPECT_TRUE(WaitUntil([&] { return d.Position() < 31 && d.Position() > 1; })) << d.Position();
  EXPECT_EQ(d.Caption(), "Animation Speed " + std::to_string(2 * d.Position() - 1) + "%");
  ASSERT_TRUE(Xdo({"mousemove", "--sync", std::to_string(channel.left - 30), std::to_string(y),
                   "mouseup", "1"}));
  EXPECT_TRUE(WaitUntil([&] { return d.Caption() == "Animation Speed 1%"; })) << d.Caption();
  ASSERT_TRUE(Keys(d, {"Return"}));
  EXPECT_TRUE(scr.Ends(Soon));
  EXPECT_EQ(StoredDelay(), 40);
}

// The design at 96 DPI, scaled by the toolkit's rule (each edge by dpi / 96,
// halves away from zero) to the display's DPI.
TEST_F(ConfigDialog, EveryPlaceAndSizeIsTheDesignScaledToTheDisplay) {
  const UiRect form = {236, 244, 486, 220};  // the outer corner, the client size
  struct Placed {
    HWND Dialog::*window;
    UiRect design;  // in the parent's client area
  };
  const Placed placed[] = {{&Dialog::box, {12, 8, 463, 148}},
                           {&Dialog::bar, {10, 30, 442, 46}},
                           {&Dialog::ok, {275, 175, 90, 28}},
                           {&Dialog::cancel, {375, 175, 90, 28}}};
  int linkHeight = 0;  // at 96 DPI: the height of its text in the link font
  for (DWORD dpi : {96, 144}) {
    SCOPED_TRACE(dpi);
    DisplayDpi display(dpi);
    Process scr(Scr("/c"));
    Dialog d = OpenDialog(scr);
    ASSERT_TRUE(d.Complete());
    RECT outer, client;
    GetWindowRect(d.form, &outer);
    GetClientRect(d.form, &client);
    UiRect expected = UiScaleRect(form, int32_t(dpi));
    EXPECT_EQ((UiRect{outer.left, outer.top, client.right, client.bottom}), expected);
    for (const Placed& p : placed)
      EXPECT_EQ(RectInParent(d.*p.window), UiScaleRect(p.design, int32_t(dpi)));
    // The link: the bar's left edge and width, under it.
    UiRect label = RectInParent(d.label);
    if (dpi == 96) {
      linkHeight = label.Height;
      EXPECT_GT(linkHeight, 13);
      EXPECT_LT(linkHeight, 24);
    }
    EXPECT_EQ(label, UiScaleRect({10, 101, 442, linkHeight}, int32_t(dpi)));
    EXPECT_EQ(d.Caption(), "Animation Speed 61%");
    // The manifest makes the program aware of each monitor's DPI.
    using ContextOf = void*(WINAPI*)(HWND);
    using AwarenessOf = int(WINAPI*)(void*);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto contextOf = reinterpret_cast<ContextOf>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetWindowDpiAwarenessContext")));
    auto awarenessOf = reinterpret_cast<AwarenessOf>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    ASSERT_TRUE(contextOf && awarenessOf);
    EXPECT_EQ(awarenessOf(contextOf(d.form)), 2) << "DPI_AWARENESS_PER_MONITOR_AWARE";
    PostMessageA(d.cancel, BM_CLICK, 0, 0);
    EXPECT_TRUE(scr.Ends(Soon));
  }
}

// The link hands the home page to the shell; the http handler registered
// here is the test player, which writes down its command line.
TEST_F(ConfigDialog, TheLinkOpensTheHomePageAndTheDialogStaysOpen) {
  ScratchFolder folder("link");
  PlayerLog log(folder, 0);
  HKEY key;
  const char* command = "Software\\Classes\\http\\shell\\open\\command";
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, command, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  char saved[1024] = "";
  DWORD savedSize = sizeof saved;
  bool hadDefault =
      RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(saved), &savedSize) ==
      ERROR_SUCCESS;
  std::string handler = "\"" + PlayerPath() + "\" \"%1\"";
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(handler.c_str()),
                 DWORD(handler.size() + 1));

  Process scr(Scr("/c"));
  Dialog d = OpenDialog(scr);
  if (d.Complete()) {
    EXPECT_TRUE(ClickAt(CentreOf(d.label)));
    EXPECT_TRUE(log.WaitForLines(1, Soon)) << "the handler did not start";
    std::vector<std::string> lines = log.Lines();
    if (!lines.empty()) {
      EXPECT_NE(lines[0].find("http://www.spiralux.com/"), std::string::npos) << lines[0];
    }
    EXPECT_TRUE(scr.Running()) << "the dialog stays open";
    EXPECT_TRUE(IsWindow(d.form));
    ASSERT_TRUE(Keys(d, {"Escape"}));
    EXPECT_TRUE(scr.Ends(Soon));
  }
  if (hadDefault)
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(saved), savedSize);
  else
    RegDeleteValueA(key, nullptr);
  RegCloseKey(key);
  ASSERT_TRUE(d.Complete());
}

// --- as a standard user -----------------------------------------------------------

// The dialog as a standard user starts it (a token without the
// Administrators group), worked by real input: the speed that user sets is
// stored as the user's own and is what a program of that user reads through
// the settings module (playerprobe: the player's GetFrameDelay); the
// machine's value stays. Where the user's own key is read-only too, OK says
// so, the dialog stays open, and nothing changes.
TEST_F(ConfigDialog, AStandardUsersSpeedIsTheirOwn) {
  struct Case {
    const char* name;
    int userBefore;  // -1: none
    bool userKeyLocked;
    int position;    // the dialog opens at
    const char* key; // then moves the bar, and Return presses OK
    int userAfter;   // what the user's player reads afterwards
  } cases[] = {
      {"no speed of the user's yet", -1, false, 40, "End", 3},
      {"the user's own speed", 29, false, 16, "Home", 40},
      {"nowhere to store it", 29, true, 16, "End", 29},
  };
  const int machine = 9;  // the machine's default opens at position 40
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteSettings();
    StoreDelay(machine);
    if (c.userBefore >= 0)
      SetSetting("FrameDelay", REG_DWORD, &c.userBefore, 4, HKEY_CURRENT_USER);
    StandardUser user;
    if (c.userKeyLocked) user.LockUserKey();

    Process scr(Scr("/c"), user.Token());
    Dialog d = OpenDialog(scr);
    ASSERT_TRUE(d.Complete());
    EXPECT_EQ(d.Position(), c.position);
    ASSERT_TRUE(Keys(d, {c.key, "Return"}));
    if (c.userKeyLocked) {
      HWND box = WaitForBox(scr, Soon);
      ASSERT_NE(box, nullptr) << "OK passed a speed stored nowhere off as saved";
      EXPECT_EQ(WindowText(box), "Spiralux");
      EXPECT_EQ(BoxText(box), SpeedNotStoredText);
      ASSERT_TRUE(Keys(box, {"Return"}));
      EXPECT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
      EXPECT_TRUE(scr.Running() && IsWindowVisible(d.form)) << "the dialog stays open";
      ASSERT_TRUE(Keys(d, {"Escape"}));
    }
    EXPECT_TRUE(scr.Ends(Soon));
    EXPECT_EQ(StoredDelay(HKEY_LOCAL_MACHINE), machine) << "the machine's value stays";
    EXPECT_EQ(StoredDelay(HKEY_CURRENT_USER), c.userAfter);
    Process probe("\"" + ProbePath() + "\" delay", user.Token());
    ASSERT_TRUE(probe.Ends(Soon));
    EXPECT_EQ(int(probe.ExitCode()), c.userAfter) << "the speed this user's player reads";
  }
}
