// ToolkitWin32: a small dialog toolkit over the native Win32 controls. An
// application object with the message loop, and a form (a top-level window
// with a dialog border) that owns its controls: group boxes, labels, push
// buttons and track bars. A form subclass declares its controls as fields,
// creates them in tab order and connects their events to its methods:
//
//   form.Create("TfrmX", {left, top, clientWidth, clientHeight});
//   box.Create(form, {12, 8, 200, 100});
//   bar.Create(box, {10, 30, 180, 40});
//   bar.OnChange = [this] { barChange(); };
//
// Places, sizes and font heights are given at 96 DPI; the form scales them to
// the DPI of its monitor and again when it moves to a monitor of another DPI.
// The message loop runs the keyboard as a dialog does: Tab and Shift+Tab
// through the tab stops (into group boxes too), Enter presses the focused
// push button or else the default button, Esc presses the cancel button.
// The close box and Alt+F4 close the form as Cancel does, without its
// handler. Nothing here raises; a window that cannot be created stays null.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/Toolkit.h"

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

// What every control has: its window, its place in the parent at 96 DPI, its
// font (the form's unless set) and its cursor. The control does not own its
// window beyond the form's life: the form's window destroys its children.
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
  // Creates the child window inside parent with WS_CHILD | WS_VISIBLE added.
  void CreateChild(UiControl& parent, const char* className, DWORD style, const UiRect& bounds);
  // A notification of this control: BN_CLICKED, STN_CLICKED, TB_THUMBTRACK...
  virtual void Notify(UINT message, WORD code) {}
  // After the text or the font changed.
  virtual void Changed() {}
  // Places the window and gives it its font at the form's DPI.
  void ApplyDpi();
  HFONT FontHandle() const;

  HWND handle_ = nullptr;
  UiForm* form_ = nullptr;
  UiControl* parent_ = nullptr;
  UiRect bounds_{};

 private:
  friend class UiForm;
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR id, DWORD_PTR self);
  bool ownFont_ = false;
  UiFont font_;
  HFONT fontHandle_ = nullptr;  // of the own font at the form's DPI
  HCURSOR cursor_ = nullptr;
};

class UiButton;

// A top-level window with a dialog border: caption and close box, no resizing,
// no minimise or maximise box. Registered under its own class name.
class UiForm : public UiControl {
 public:
  ~UiForm() override;
  // Creates the hidden window: the outer top-left corner at the design's
  // place on the screen, the client area of its size, both at 96 DPI.
  void Create(const char* className, const UiRect& design);
  void Show();
  // Closes the form: it is destroyed; the main form's end ends the loop.
  void Close();
  // Enter presses it unless another push button has the focus.
  void SetDefaultButton(UiButton& button);
  // Esc presses it.
  void SetCancelButton(UiButton& button);
  // The pixels per inch that the form is laid out for.
  int32_t Dpi() const { return dpi_; }
  // The form's font, which every control without its own uses.
  HFONT FormFontHandle() const { return formFont_; }
  // Lays the form and every control out for dpi.
  void ApplyFormDpi(int32_t dpi);

 private:
  friend class UiControl;
  friend class UiApplication;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Route(UINT message, WPARAM wParam, LPARAM lParam);
  void FocusChanged(UiControl* focused);
  void Add(UiControl* control) { controls_.push_back(control); }
  void Remove(UiControl* control);
  UiControl* ControlOf(HWND window) const;

  std::vector<UiControl*> controls_;  // in creation order, the tab order
  UiButton* default_ = nullptr;
  UiButton* cancel_ = nullptr;
  UiButton* defaultLook_ = nullptr;  // the button that shows the default frame
  HWND savedFocus_ = nullptr;
  HFONT formFont_ = nullptr;
  int32_t dpi_ = UiDesignDpi;
  int32_t nextId_ = 100;
  bool main_ = false;  // its end ends the message loop
};

// A frame with a caption around other controls.
class UiGroupBox : public UiControl {
 public:
  void Create(UiControl& parent, const UiRect& bounds);
};

// A text. With automatic sizing on, a change of text or font sizes it to fit
// its text; turning it off keeps the size it has.
class UiLabel : public UiControl {
 public:
  void Create(UiControl& parent, const UiRect& bounds);
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
  void Create(UiControl& parent, const UiRect& bounds, const std::string& caption);
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
  void Create(UiControl& parent, const UiRect& bounds);
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
// until the main form (the first one shown by Run) has closed.
class UiApplication {
 public:
  // Loads the common controls (the trackbar's class among them).
  void Initialize();
  void Run(UiForm& mainForm);
};
