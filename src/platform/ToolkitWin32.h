// ToolkitWin32: a small dialog toolkit over the native Win32 controls and the
// system's dialog manager. An application object with the message loop, and
// a form (a top-level window of a dialog class) that owns its controls:
// group boxes, labels, push buttons and track bars. A form subclass declares
// its controls as fields, creates them in tab order and connects their
// events to its methods:
//
//   form.Create("TfrmX", {left, top, clientWidth, clientHeight});
//   box.Create(form, {12, 8, 200, 100});
//   bar.Create(box, {10, 30, 180, 40});
//   bar.OnChange = [this] { barChange(); };
//
// Places, sizes and font heights are given at 96 DPI; the form scales them to
// the DPI of its monitor and again when it moves to a monitor of another DPI.
// The keyboard is the dialog manager's: Tab and Shift+Tab through the tab
// stops (into group boxes too), Enter presses the focused push button or else
// the default button, Esc presses the cancel button, and the focused push
// button shows the default frame. The close box and Alt+F4 close the form as
// Cancel does, without its handler. Nothing here raises; a window that cannot
// be created stays null.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Toolkit.h"
#include "runtime/ScopedWin32.h"

// A font as designed: its face, its height in pixels at 96 DPI (negative: the
// character height, as CreateFont takes it), bold, underlined and its colour.
struct UiFont {
  std::string Face = "MS Sans Serif";
  int32_t Height = -11;
  bool Bold = false;
  bool Underline = false;
  COLORREF Colour = CLR_INVALID;  // CLR_INVALID: the system's window-text colour
};
// The 96-DPI height of a font of the given points: -points * 96 / 72.
int32_t UiHeightOfPoints(int32_t points);

class UiForm;
class UiControl;

// Where a control goes: the client area of a form or of a group box, and the
// form that owns it. Made from either, where a control is created.
struct UiParent {
  UiParent(UiForm& form);
  UiParent(UiControl& container);
  UiForm* Form;
  HWND Window;  // null while the parent has no window: the control gets none
};

// What every control has: its window, its place in the parent at 96 DPI, its
// font (the form's unless set) and its cursor. The form's window destroys the
// control's with it; a control that goes first leaves the form, its window
// staying until the form's goes.
class UiControl {
 public:
  UiControl() = default;
  UiControl(const UiControl&) = delete;
  UiControl& operator=(const UiControl&) = delete;
  virtual ~UiControl();

  HWND Handle() const { return handle_; }
  UiForm* Form() const { return form_; }
  std::string Text() const;
  void SetText(const std::string& text);
  // At 96 DPI, inside the parent's client area.
  const UiRect& Bounds() const { return bounds_; }
  void SetBounds(const UiRect& bounds);
  const UiFont& Font() const;
  void SetFont(const UiFont& font);
  // The cursor over the control; null: the class's own.
  void SetCursor(HCURSOR cursor) { cursor_ = cursor; }

 protected:
  // Creates the child window inside parent with WS_CHILD | WS_VISIBLE added,
  // the next control identifier of the form and the font.
  void CreateChild(const UiParent& parent, const char* className, DWORD style,
                   const UiRect& bounds);
  // A notification of this control: BN_CLICKED, STN_CLICKED, TB_THUMBTRACK...
  virtual void Notify(UINT message, WORD code) {}
  // After the text or the font changed.
  virtual void Changed() {}

  HWND handle_ = nullptr;
  UiRect bounds_{};

 private:
  friend class UiForm;
  // Gives the window its font and its place at the form's DPI.
  void ApplyDpi();
  HFONT FontHandle() const;

  UiForm* form_ = nullptr;
  bool ownFont_ = false;
  UiFont font_;
  ScopedGdiObj<HFONT> fontHandle_;  // of the own font at the form's DPI
  HCURSOR cursor_ = nullptr;
};

class UiButton;

// A top-level window with a dialog border: caption and close box, no resizing,
// no minimise or maximise box. Registered under its own class name as a
// dialog class (DLGWINDOWEXTRA bytes, its procedure ending in DefDlgProc).
class UiForm {
 public:
  UiForm() = default;
  UiForm(const UiForm&) = delete;
  UiForm& operator=(const UiForm&) = delete;
  virtual ~UiForm();

  // Creates the hidden window: the outer top-left corner at the design's
  // place on the screen, the client area of its size, both at 96 DPI.
  void Create(const char* className, const UiRect& design);
  HWND Handle() const { return handle_; }
  // The caption.
  std::string Text() const;
  void SetText(const std::string& text);
  // The font of every control that has none of its own.
  const UiFont& Font() const { return font_; }
  void SetFont(const UiFont& font);
  // Shows and activates the form; the focus goes to the first tab stop.
  void Show();
  // Closes the form: it is destroyed; the main form's end ends the loop.
  void Close();
  // Enter presses it unless another push button has the focus. A push button
  // of the form itself, not of a group box: the dialog manager moves the
  // default frame among the form's own children.
  void SetDefaultButton(UiButton& button);
  // Esc presses it: it takes the identifier IDCANCEL. A push button of the
  // form itself, as the default button.
  void SetCancelButton(UiButton& button);

 private:
  friend class UiControl;
  friend class UiApplication;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static bool IsForm(HWND window);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Lays the form and every control out for dpi.
  void ApplyFormDpi(int32_t dpi);
  void Remove(UiControl* control);
  UiControl* ControlOf(HWND window) const;

  HWND handle_ = nullptr;
  UiRect bounds_{};  // the design
  UiFont font_;
  ScopedGdiObj<HFONT> formFont_;  // font_ at dpi_
  std::vector<UiControl*> controls_;  // in creation order, the tab order
  int32_t dpi_ = UiDesignDpi;
  int32_t nextId_ = 100;  // above IDOK, IDCANCEL and the other dialog results
  bool main_ = false;  // its end ends the message loop
};

// A frame with a caption around other controls.
class UiGroupBox : public UiControl {
 public:
  void Create(const UiParent& parent, const UiRect& bounds);
};

// A text. With automatic sizing on, a change of text or font sizes it to fit
// its text; turning it off keeps the size it has.
class UiLabel : public UiControl {
 public:
  void Create(const UiParent& parent, const UiRect& bounds);
  void SetCentred(bool centred);
  void SetAutoSize(bool on);
  std::function<void()> OnClick;

 private:
  void Notify(UINT message, WORD code) override;
  void Changed() override;
  void FitText();
  bool autoSize_ = false;
};

class UiButton : public UiControl {
 public:
  void Create(const UiParent& parent, const UiRect& bounds, const std::string& caption);
  // Presses the button as a click would, when it is enabled.
  void Click();
  std::function<void()> OnClick;

 private:
  void Notify(UINT message, WORD code) override;
};

// The horizontal trackbar common control with a tick at every position on
// both sides. OnChange runs on every move: keys, clicks and each step of a
// drag of the thumb.
class UiTrackBar : public UiControl {
 public:
  void Create(const UiParent& parent, const UiRect& bounds);
  int32_t Min() const;
  int32_t Max() const;
  int32_t Position() const;
  void SetMin(int32_t value);
  void SetMax(int32_t value);
  void SetPosition(int32_t value);
  void SetLineSize(int32_t value);
  void SetPageSize(int32_t value);
  std::function<void()> OnChange;

 private:
  void Notify(UINT message, WORD code) override;
};

// The application: the common controls, and the message loop that runs
// until the main form (the first one shown by Run) has closed. The loop hands
// every message for a form's window or its controls to IsDialogMessage.
class UiApplication {
 public:
  // Loads the common controls (the trackbar's class among them).
  void Initialize();
  void Run(UiForm& mainForm);
};
