// ToolkitWin32: the dialog toolkit over the native controls and the dialog
// manager.
//
// A form is a window of a class with DLGWINDOWEXTRA extra bytes whose
// procedure hands on to DefDlgProc what it does not answer itself, and the
// loop passes the form's messages through IsDialogMessage. The system's
// dialog manager then runs the keyboard (Tab, Enter, Esc), keeps the default
// button and moves its frame to the focused push button (DM_SETDEFID,
// WM_NEXTDLGCTL), and saves the focus when the form is deactivated and
// restores it when it is activated again. The form's procedure adds what a
// dialog template would give otherwise: the controls' events for their
// objects, their fonts, colours and cursors, and the layout for the DPI.
#include "platform/ToolkitWin32.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace {

constexpr UINT_PTR SubclassId = 1;
constexpr DWORD FormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD FormExStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;

// The per-monitor DPI calls exist from Windows 10 on: looked up, not linked,
// so that the program still starts where they are missing.
template <typename F>
F User32Proc(const char* name) {
  FARPROC proc = GetProcAddress(GetModuleHandleA("user32.dll"), name);
  return reinterpret_cast<F>(reinterpret_cast<void*>(proc));
}

int32_t SystemDpi() {
  static auto forSystem = User32Proc<UINT(WINAPI*)()>("GetDpiForSystem");
  if (forSystem) return int32_t(forSystem());
  ScopedGetDC screen(nullptr);
  int32_t dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : UiDesignDpi;
  return dpi > 0 ? dpi : UiDesignDpi;
}

int32_t WindowDpi(HWND window) {
  static auto forWindow = User32Proc<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  UINT dpi = forWindow && window ? forWindow(window) : 0;
  return dpi ? int32_t(dpi) : SystemDpi();
}

// The outer size of a form whose client area has the given size at dpi.
SIZE FormWindowSize(int32_t clientWidth, int32_t clientHeight, int32_t dpi) {
  static auto adjust =
      User32Proc<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT r = {0, 0, clientWidth, clientHeight};
  if (!adjust || !adjust(&r, FormStyle, FALSE, FormExStyle, UINT(dpi)))
    AdjustWindowRectEx(&r, FormStyle, FALSE, FormExStyle);
  return {r.right - r.left, r.bottom - r.top};
}

HFONT MakeFont(const UiFont& font, int32_t dpi) {
  return CreateFontA(UiScale(font.Height, dpi), 0, 0, 0, font.Bold ? FW_BOLD : FW_NORMAL, FALSE,
                     font.Underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                     font.Face.c_str());
}

std::string WindowText(HWND window) {
  if (!window) return "";
  int n = GetWindowTextLengthA(window);
  std::string text(size_t(n) + 1, '\0');
  text.resize(size_t(GetWindowTextA(window, &text[0], n + 1)));
  return text;
}

// The window that a child's message to its parent comes from.
HWND SenderOf(UINT message, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
      return reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
    default:
      return nullptr;
  }
}

// A group box holds controls: it hands on to its form what they send their
// parent (commands, scrolls, colour requests), so that their events reach
// the form whatever their parent, and it paints the face under them, the
// form clipping its children.
LRESULT CALLBACK ContainerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(window, &r);
      FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
      return TRUE;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, ContainerProc, SubclassId);
      break;
    default: {
      HWND sender = SenderOf(message, lParam);
      if (sender && GetParent(sender) == window)
        return SendMessageA(GetAncestor(window, GA_ROOT), message, wParam, lParam);
    }
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

// A push button that the mouse gives the focus has the dialog manager move
// the default frame to it, as Tab does: the button takes the focus itself,
// past WM_NEXTDLGCTL. Sent, not posted: the focus is already the button's,
// so WM_NEXTDLGCTL only moves the frame.
LRESULT CALLBACK PushButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                UINT_PTR, DWORD_PTR) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(window, PushButtonProc, SubclassId);
  LRESULT result = DefSubclassProc(window, message, wParam, lParam);
  if (message == WM_SETFOCUS)
    SendMessageA(GetAncestor(window, GA_ROOT), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window),
                 TRUE);
  return result;
}

}  // namespace

int32_t UiHeightOfPoints(int32_t points) { return -MulDiv(points, UiDesignDpi, 72); }

UiParent::UiParent(UiForm& form) : Form(&form), Window(form.Handle()) {}
UiParent::UiParent(UiControl& container) : Form(container.Form()), Window(container.Handle()) {}

// --- UiControl ---------------------------------------------------------------

UiControl::~UiControl() {
  if (form_) form_->Remove(this);
}

std::string UiControl::Text() const { return WindowText(handle_); }

void UiControl::SetText(const std::string& text) {
  if (handle_) SetWindowTextA(handle_, text.c_str());
  Changed();
}

void UiControl::SetBounds(const UiRect& bounds) {
  bounds_ = bounds;
  if (!handle_ || !form_) return;
  UiRect r = UiScaleRect(bounds_, form_->dpi_);
  SetWindowPos(handle_, nullptr, r.Left, r.Top, r.Width, r.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

const UiFont& UiControl::Font() const { return ownFont_ || !form_ ? font_ : form_->font_; }

void UiControl::SetFont(const UiFont& font) {
  font_ = font;
  ownFont_ = true;
  ApplyDpi();
  Changed();
}

HFONT UiControl::FontHandle() const { return ownFont_ ? fontHandle_ : form_->formFont_; }

void UiControl::ApplyDpi() {
  if (!form_) return;
  // The old font goes once the window has the new one.
  ScopedGdiObj<HFONT> old;
  if (ownFont_) {
    old = std::move(fontHandle_);
    fontHandle_.Reset(MakeFont(font_, form_->dpi_));
  }
  if (handle_) {
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
    SetBounds(bounds_);
  }
}

void UiControl::CreateChild(const UiParent& parent, const char* className, DWORD style,
                            const UiRect& bounds) {
  form_ = parent.Form;
  bounds_ = bounds;
  if (!form_ || !parent.Window) return;
  UiRect r = UiScaleRect(bounds, form_->dpi_);
  handle_ = CreateWindowExA(0, className, "", style | WS_CHILD | WS_VISIBLE, r.Left, r.Top,
                            r.Width, r.Height, parent.Window,
                            reinterpret_cast<HMENU>(INT_PTR(form_->nextId_++)),
                            GetModuleHandleA(nullptr), nullptr);
  if (!handle_) return;
  form_->controls_.push_back(this);
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
}

// --- UiForm ------------------------------------------------------------------

UiForm::~UiForm() {
  if (handle_) DestroyWindow(handle_);
  for (UiControl* c : controls_) c->form_ = nullptr;
}

void UiForm::Create(const char* className, const UiRect& design) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.cbWndExtra = DLGWINDOWEXTRA;  // where DefDlgProc keeps the dialog's state
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, "MAINICON");
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = className;
  RegisterClassExA(&wc);  // fails harmlessly when a second form of the class registers it again

  bounds_ = design;
  dpi_ = SystemDpi();
  formFont_.Reset(MakeFont(font_, dpi_));
  UiRect r = UiScaleRect(design, dpi_);
  SIZE outer = FormWindowSize(r.Width, r.Height, dpi_);
  CreateWindowExA(FormExStyle, className, "", FormStyle, r.Left, r.Top, outer.cx, outer.cy,
                  nullptr, nullptr, instance, this);
  // On a monitor whose DPI differs from the system's, lay out for the monitor's.
  if (handle_ && WindowDpi(handle_) != dpi_) {
    ApplyFormDpi(WindowDpi(handle_));
    outer = FormWindowSize(UiScale(design.Width, dpi_), UiScale(design.Height, dpi_), dpi_);
    SetWindowPos(handle_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

std::string UiForm::Text() const { return WindowText(handle_); }

void UiForm::SetText(const std::string& text) {
  if (handle_) SetWindowTextA(handle_, text.c_str());
}

void UiForm::SetFont(const UiFont& font) {
  font_ = font;
  ApplyFormDpi(dpi_);
}

// Activated, a dialog without a focused control gives the focus to its
// first tab stop.
void UiForm::Show() {
  if (!handle_) return;
  ShowWindow(handle_, SW_SHOWNORMAL);
  SetForegroundWindow(handle_);
  UpdateWindow(handle_);
}

void UiForm::Close() {
  if (handle_) SendMessageA(handle_, WM_CLOSE, 0, 0);
}

void UiForm::SetDefaultButton(UiButton& button) {
  if (handle_ && button.Handle())
    SendMessageA(handle_, DM_SETDEFID, WPARAM(GetDlgCtrlID(button.Handle())), 0);
}

// Esc comes as the command IDCANCEL from GetDlgItem(form, IDCANCEL).
void UiForm::SetCancelButton(UiButton& button) {
  if (!handle_ || !button.Handle()) return;
  if (HWND previous = GetDlgItem(handle_, IDCANCEL))
    SetWindowLongPtrA(previous, GWLP_ID, nextId_++);
  SetWindowLongPtrA(button.Handle(), GWLP_ID, IDCANCEL);
}

void UiForm::ApplyFormDpi(int32_t dpi) {
  dpi_ = dpi;
  // The old font goes once every window has the new one.
  ScopedGdiObj<HFONT> old(std::move(formFont_));
  formFont_.Reset(MakeFont(font_, dpi_));
  for (UiControl* c : controls_) c->ApplyDpi();
}

void UiForm::Remove(UiControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

UiControl* UiForm::ControlOf(HWND window) const {
  if (!window) return nullptr;
  for (UiControl* c : controls_)
    if (c->handle_ == window) return c;
  return nullptr;
}

bool UiForm::IsForm(HWND window) {
  return GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(WindowProc);
}

LRESULT CALLBACK UiForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    UiForm* form =
        static_cast<UiForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    form->handle_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  UiForm* form = reinterpret_cast<UiForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!form) return DefDlgProcA(window, message, wParam, lParam);
  return form->HandleMessage(message, wParam, lParam);
}

LRESULT UiForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = handle_;
  switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (UiControl* control = ControlOf(reinterpret_cast<HWND>(lParam)))
        control->Notify(message, message == WM_COMMAND ? HIWORD(wParam) : LOWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // As in a dialog: the controls on the form's face colour, the text in
      // the control's font colour.
      UiControl* control = ControlOf(reinterpret_cast<HWND>(lParam));
      COLORREF colour = control ? control->Font().Colour : CLR_INVALID;
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, colour == CLR_INVALID ? GetSysColor(COLOR_WINDOWTEXT) : colour);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR: {
      // DefWindowProc of a child asks its parent first, so a control's
      // request reaches the form through any group box.
      UiControl* control = ControlOf(reinterpret_cast<HWND>(wParam));
      if (control && control->cursor_ && LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(control->cursor_);
        return TRUE;
      }
      break;
    }
    case WM_DPICHANGED: {
      ApplyFormDpi(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SIZE outer =
          FormWindowSize(UiScale(bounds_.Width, dpi_), UiScale(bounds_.Height, dpi_), dpi_);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, outer.cx, outer.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      // Not DefDlgProc's IDCANCEL: closing runs no button's handler.
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      if (main_) PostQuitMessage(0);
      break;
    case WM_NCDESTROY:
      // The controls' windows have gone before.
      for (UiControl* c : controls_) c->handle_ = nullptr;
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      handle_ = nullptr;
      break;
    default:
      break;
  }
  return DefDlgProcA(window, message, wParam, lParam);
}

// --- the controls -----------------------------------------------------------

void UiGroupBox::Create(const UiParent& parent, const UiRect& bounds) {
  // Its children are tab stops of the form: WS_EX_CONTROLPARENT lets the
  // dialog manager walk into it.
  CreateChild(parent, "BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, bounds);
  if (!handle_) return;
  SetWindowLongPtrA(handle_, GWL_EXSTYLE,
                    GetWindowLongPtrA(handle_, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  SetWindowSubclass(handle_, ContainerProc, SubclassId, 0);
}

void UiLabel::Create(const UiParent& parent, const UiRect& bounds) {
  // SS_NOTIFY: clicks are reported, and the label is hit by the mouse.
  CreateChild(parent, "STATIC", SS_LEFT | SS_NOTIFY, bounds);
}

void UiLabel::SetCentred(bool centred) {
  if (!handle_) return;
  LONG_PTR style = GetWindowLongPtrA(handle_, GWL_STYLE) & ~LONG_PTR(SS_TYPEMASK);
  SetWindowLongPtrA(handle_, GWL_STYLE, style | (centred ? SS_CENTER : SS_LEFT));
  InvalidateRect(handle_, nullptr, TRUE);
}

void UiLabel::SetAutoSize(bool on) {
  autoSize_ = on;
  Changed();
}

void UiLabel::Changed() {
  if (autoSize_) FitText();
}

// The text's extent in the label's font at 96 DPI: the design size.
void UiLabel::FitText() {
  ScopedGetDC screen(nullptr);
  if (!screen) return;
  ScopedGdiObj<HFONT> font(MakeFont(Font(), UiDesignDpi));
  ScopedSelectObject selected(screen, font);
  std::string text = Text();
  RECT r = {0, 0, 0, 0};
  DrawTextA(screen, text.c_str(), int(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SetBounds({bounds_.Left, bounds_.Top, r.right - r.left, r.bottom - r.top});
}

void UiLabel::Notify(UINT message, WORD code) {
  if (message == WM_COMMAND && code == STN_CLICKED && OnClick) OnClick();
}

void UiButton::Create(const UiParent& parent, const UiRect& bounds, const std::string& caption) {
  CreateChild(parent, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, bounds);
  if (handle_) SetWindowSubclass(handle_, PushButtonProc, SubclassId, 0);
  SetText(caption);
}

void UiButton::Click() {
  if (handle_ && IsWindowEnabled(handle_) && OnClick) OnClick();
}

void UiButton::Notify(UINT message, WORD code) {
  if (message == WM_COMMAND && code == BN_CLICKED) Click();
}

void UiTrackBar::Create(const UiParent& parent, const UiRect& bounds) {
  CreateChild(parent, TRACKBAR_CLASSA, TBS_HORZ | TBS_BOTH | TBS_AUTOTICKS | WS_TABSTOP, bounds);
  if (handle_) SendMessageA(handle_, TBM_SETTICFREQ, 1, 0);
}

int32_t UiTrackBar::Min() const {
  return handle_ ? int32_t(SendMessageA(handle_, TBM_GETRANGEMIN, 0, 0)) : 0;
}
int32_t UiTrackBar::Max() const {
  return handle_ ? int32_t(SendMessageA(handle_, TBM_GETRANGEMAX, 0, 0)) : 0;
}
int32_t UiTrackBar::Position() const {
  return handle_ ? int32_t(SendMessageA(handle_, TBM_GETPOS, 0, 0)) : 0;
}
void UiTrackBar::SetMin(int32_t value) {
  if (handle_) SendMessageA(handle_, TBM_SETRANGEMIN, TRUE, value);
}
void UiTrackBar::SetMax(int32_t value) {
  if (handle_) SendMessageA(handle_, TBM_SETRANGEMAX, TRUE, value);
}
void UiTrackBar::SetPosition(int32_t value) {
  if (handle_) SendMessageA(handle_, TBM_SETPOS, TRUE, value);
}
void UiTrackBar::SetLineSize(int32_t value) {
  if (handle_) SendMessageA(handle_, TBM_SETLINESIZE, 0, value);
}
void UiTrackBar::SetPageSize(int32_t value) {
  if (handle_) SendMessageA(handle_, TBM_SETPAGESIZE, 0, value);
}

// Every notification counts as a change, the drag's TB_THUMBTRACK steps
// included; TB_ENDTRACK after a key or a drag repeats the last position.
void UiTrackBar::Notify(UINT message, WORD) {
  if ((message == WM_HSCROLL || message == WM_VSCROLL) && OnChange) OnChange();
}

// --- UiApplication ----------------------------------------------------------

void UiApplication::Initialize() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);
}

void UiApplication::Run(UiForm& mainForm) {
  mainForm.main_ = true;
  if (!mainForm.Handle()) return;
  mainForm.Show();
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // IsDialogMessage translates and dispatches what it does not take itself.
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && UiForm::IsForm(root) && IsDialogMessageA(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
