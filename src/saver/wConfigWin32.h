// wConfig, Win32 side: the configuration dialog, the form TfrmConfig and its
// one instance frmConfig, shown by ShowConfig, the program's configuration
// handler. The track bar sets the animation speed; OK stores it as the frame
// delay (the user's own, see Common1Win32.h) and closes the dialog, or, when
// it could be stored nowhere, says so in a box and leaves the dialog open;
// Cancel and the close box store nothing; the link opens the maker's home
// page and the dialog stays open. Texts and arithmetic: wConfig.h.
#pragma once

#include "platform/ToolkitWin32.h"
#include "saver/SSaver.h"

class TfrmConfig : public UiForm {
 public:
  // Creates the form and its controls as designed, hidden.
  TfrmConfig();

  UiGroupBox boxMain;
  UiButton btnOK;
  UiButton btnCancel;
  UiTrackBar barSpeed;
  UiLabel labHome;

  void labHomeClick();
  void barSpeedChange();
  void btnOKClick();
  void btnCancelClick();

  // The set-up after creation: caption, link, bar range, the position from
  // the stored frame delay, and the speed shown in boxMain's caption.
  void LoadSettings();
  // Stores the bar's position as the frame delay; false when it could not.
  bool SaveSettings();
};

// The form while ShowConfig runs, else null.
extern TfrmConfig* frmConfig;

// Configuration mode: shows the dialog and returns when it has closed. The
// context is not used.
void ShowConfig(Qssaver* saver);
