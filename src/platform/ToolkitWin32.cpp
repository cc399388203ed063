// ToolkitWin32: the dialog toolkit over the native controls.
//
// Every control is subclassed with one procedure: it reports focus changes to
// the form (so that the focused push button shows the default frame, as in a
// dialog), sets the control's cursor, and hands on to the form what a
// container receives from its children (commands, scrolls, colour requests),
// so that a control's events reach the form whatever its parent. The form
// answers the messages that IsDialogMessage sends to a dialog: DM_GETDEFID
// and WM_NEXTDLGCTL, which a window that is not a dialog otherwise ignores.
#include "platform/ToolkitWin32.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr UINT_PTR SubclassId = 1;
// Marks the toolkit's forms among the top-level windows.
constexpr const char* FormProperty = "SpiraluxUiForm";
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
  HDC screen = GetDC(nullptr);
  int32_t dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : UiDesignDpi;
  if (screen) ReleaseDC(nullptr, screen);
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

}  // namespace

int32_t UiHeightOfPoints(int32_t points) { return -MulDiv(points, UiDesignDpi, 72); }

// --- UiControl ---------------------------------------------------------------

// A control that goes before its window leaves the form and its window.
UiControl::~UiControl() {
  if (form_ && form_ != this) {
    form_->Remove(this);
    if (handle_) RemoveWindowSubclass(handle_, SubclassProc, SubclassId);
  }
  if (fontHandle_) DeleteObject(fontHandle_);
}

std::string UiControl::Text() const {
  if (!handle_) return "";
  int n = GetWindowTextLengthA(handle_);
  std::string text(size_t(n) + 1, '\0');
  text.resize(size_t(GetWindowTextA(handle_, &text[0], n + 1)));
  return text;
}

void UiControl::SetText(const std::string& text) {
  if (handle_) SetWindowTextA(handle_, text.c_str());
  Changed();
}

void UiControl::SetBounds(const UiRect& bounds) {
  bounds_ = bounds;
  if (handle_ && form_ && this != form_) {
    UiRect r = UiScaleRect(bounds_, form_->dpi_);
    SetWindowPos(handle_, nullptr, r.Left, r.Top, r.Width, r.Height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

const UiFont& UiControl::Font() const {
  return ownFont_ || !form_ || form_ == this ? font_ : form_->font_;
}

void UiControl::SetFont(const UiFont& font) {
  font_ = font;
  if (form_ == this) {
    ApplyDpi();
    for (UiControl* c : form_->controls_)
      if (!c->ownFont_) c->ApplyDpi();
  } else {
    ownFont_ = true;
    ApplyDpi();
  }
  Changed();
}

HFONT UiControl::FontHandle() const { return ownFont_ ? fontHandle_ : form_->formFont_; }

void UiControl::ApplyDpi() {
  if (!form_) return;
  if (this == form_) {
    if (form_->formFont_) DeleteObject(form_->formFont_);
    form_->formFont_ = MakeFont(font_, form_->dpi_);
    return;
  }
  if (ownFont_) {
    if (fontHandle_) DeleteObject(fontHandle_);
    fontHandle_ = MakeFont(font_, form_->dpi_);
  }
  if (!handle_) return;
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), TRUE);
  SetBounds(bounds_);
}

void UiControl::CreateChild(UiControl& parent, const char* className, DWORD style,
                            const UiRect& bounds) {
  form_ = parent.form_;
  parent_ = &parent;
  bounds_ = bounds;
  if (!form_ || !parent.handle_) return;
  UiRect r = UiScaleRect(bounds, form_->dpi_);
  handle_ = CreateWindowExA(0, className, "", style | WS_CHILD | WS_VISIBLE, r.Left, r.Top,
                            r.Width, r.Height, parent.handle_,
                            reinterpret_cast<HMENU>(INT_PTR(form_->nextId_++)),
                            GetModuleHandleA(nullptr), nullptr);
  if (!handle_) return;
  SetWindowSubclass(handle_, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
  form_->Add(this);
  SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
}

LRESULT CALLBACK UiControl::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR self) {
  UiControl* control = reinterpret_cast<UiControl*>(self);
  switch (message) {
    case WM_SETFOCUS:
      if (control->form_) control->form_->FocusChanged(control);
      break;
    case WM_ERASEBKGND:
      // A container paints the face under its children (the form clips them).
      if (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
        RECT r;
        GetClientRect(window, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, GetSysColorBrush(COLOR_BTNFACE));
        return TRUE;
      }
      break;
    case WM_SETCURSOR:
      if (control->cursor_ && reinterpret_cast<HWND>(wParam) == window &&
          LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(control->cursor_);
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(window, SubclassProc, SubclassId);
      control->handle_ = nullptr;
      break;
    default: {
      HWND sender = SenderOf(message, lParam);
      if (sender && control->form_ && control->form_->handle_ && GetParent(sender) == window)
        return SendMessageA(control->form_->handle_, message, wParam, lParam);
    }
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

// --- UiForm ------------------------------------------------------------------

UiForm::~UiForm() {
  if (handle_) DestroyWindow(handle_);
  if (formFont_) DeleteObject(formFont_);
}

void UiForm::Create(const char* className, const UiRect& design) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, "MAINICON");
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className;
  RegisterClassExA(&wc);  // fails harmlessly when a second form of the class registers it again

  form_ = this;
  bounds_ = design;
  dpi_ = SystemDpi();
  ApplyDpi();
  UiRect r = UiScaleRect(design, dpi_);
  SIZE outer = FormWindowSize(r.Width, r.Height, dpi_);
  handle_ = CreateWindowExA(FormExStyle, className, "", FormStyle, r.Left, r.Top, outer.cx,
                            outer.cy, nullptr, nullptr, instance, this);
  // On a monitor whose DPI differs from the system's, lay out for the monitor's.
  if (handle_ && WindowDpi(handle_) != dpi_) {
    ApplyFormDpi(WindowDpi(handle_));
    outer = FormWindowSize(UiScale(design.Width, dpi_), UiScale(design.Height, dpi_), dpi_);
    SetWindowPos(handle_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

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
  default_ = &button;
  FocusChanged(nullptr);
}

void UiForm::SetCancelButton(UiButton& button) { cancel_ = &button; }

void UiForm::ApplyFormDpi(int32_t dpi) {
  dpi_ = dpi;
  ApplyDpi();
  for (UiControl* c : controls_) c->ApplyDpi();
}

void UiForm::Remove(UiControl* control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
  if (default_ == control) default_ = nullptr;
  if (cancel_ == control) cancel_ = nullptr;
  if (defaultLook_ == control) defaultLook_ = nullptr;
}

UiControl* UiForm::ControlOf(HWND window) const {
  if (!window) return nullptr;
  for (UiControl* c : controls_)
    if (c->handle_ == window) return c;
  return nullptr;
}

// The focused push button shows the default frame and Enter presses it;
// elsewhere the form's default button has both.
void UiForm::FocusChanged(UiControl* focused) {
  UiButton* look = dynamic_cast<UiButton*>(focused);
  if (!look) look = default_;
  defaultLook_ = look;
  for (UiControl* c : controls_)
    if (UiButton* b = dynamic_cast<UiButton*>(c))
      if (b->handle_)
        SendMessageA(b->handle_, BM_SETSTYLE, b == look ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void UiForm::Route(UINT message, WPARAM wParam, LPARAM lParam) {
  UiControl* control = ControlOf(reinterpret_cast<HWND>(lParam));
  if (!control && message == WM_COMMAND && lParam == 0) {
    // Esc, and Enter without a default button, come as IDCANCEL and IDOK.
    if (LOWORD(wParam) == IDCANCEL) control = cancel_;
    if (LOWORD(wParam) == IDOK) control = default_;
  }
  if (!control) return;
  control->Notify(message, message == WM_COMMAND ? HIWORD(wParam) : LOWORD(wParam));
}

LRESULT CALLBACK UiForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    UiForm* form =
        static_cast<UiForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    form->handle_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    SetPropA(window, FormProperty, form);
  }
  UiForm* form = reinterpret_cast<UiForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!form) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    RemovePropA(window, FormProperty);
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    form->handle_ = nullptr;
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return form->HandleMessage(message, wParam, lParam);
}

LRESULT UiForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
      Route(message, wParam, lParam);
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
    case DM_GETDEFID:
      if (defaultLook_ && defaultLook_->handle_)
        return MAKELRESULT(GetDlgCtrlID(defaultLook_->handle_), DC_HASDEFID);
      return 0;
    case WM_NEXTDLGCTL: {
      // lParam set: wParam is the control; else wParam set means previous.
      HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                 : GetNextDlgTabItem(handle_, GetFocus(), wParam != 0);
      if (next) SetFocus(next);
      return 0;
    }
    case WM_ACTIVATE:
      // As a dialog: the focus leaves with the form and comes back to where it was.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(handle_, focus)) savedFocus_ = focus;
      } else {
        HWND focus = savedFocus_ && IsWindow(savedFocus_) && IsChild(handle_, savedFocus_)
                         ? savedFocus_
                         : GetNextDlgTabItem(handle_, nullptr, FALSE);
        if (focus) SetFocus(focus);
      }
      return 0;
    case WM_DPICHANGED: {
      ApplyFormDpi(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SIZE outer = FormWindowSize(UiScale(bounds_.Width, dpi_), UiScale(bounds_.Height, dpi_), dpi_);
      SetWindowPos(handle_, nullptr, suggested->left, suggested->top, outer.cx, outer.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      DestroyWindow(handle_);
      return 0;
    case WM_DESTROY:
      if (main_) PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(handle_, message, wParam, lParam);
}

// --- the controls -----------------------------------------------------------

void UiGroupBox::Create(UiControl& parent, const UiRect& bounds) {
  // Its children are tab stops of the form: WS_EX_CONTROLPARENT lets the
  // dialog keys walk into it.
  CreateChild(parent, "BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, bounds);
  if (handle_)
    SetWindowLongPtrA(handle_, GWL_EXSTYLE,
                      GetWindowLongPtrA(handle_, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
}

void UiLabel::Create(UiControl& parent, const UiRect& bounds) {
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
  HDC screen = GetDC(nullptr);
  if (!screen) return;
  HFONT font = MakeFont(Font(), UiDesignDpi);
  HGDIOBJ old = SelectObject(screen, font);
  std::string text = Text();
  RECT r = {0, 0, 0, 0};
  DrawTextA(screen, text.c_str(), int(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(screen, old);
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
  SetBounds({bounds_.Left, bounds_.Top, r.right - r.left, r.bottom - r.top});
}

void UiLabel::Notify(UINT message, WORD code) {
  if (message == WM_COMMAND && code == STN_CLICKED && OnClick) OnClick();
}

void UiButton::Create(UiControl& parent, const UiRect& bounds, const std::string& caption) {
  CreateChild(parent, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, bounds);
  SetText(caption);
}

void UiButton::Click() {
  if (handle_ && IsWindowEnabled(handle_) && OnClick) OnClick();
}

void UiButton::Notify(UINT message, WORD code) {
  if (message == WM_COMMAND && code == BN_CLICKED) Click();
}

void UiTrackBar::Create(UiControl& parent, const UiRect& bounds) {
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
    // The dialog keys of the form that holds the window the message is for.
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root && GetPropA(root, FormProperty) && IsDialogMessageA(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
