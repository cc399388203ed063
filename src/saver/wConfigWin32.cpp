// wConfig: the configuration dialog, Win32 side.
#include "saver/wConfigWin32.h"

#include "platform/LaunchWin32.h"
#include "platform/Common1Win32.h"
#include "platform/RoutinesWin32.h"
#include "saver/wConfig.h"

TfrmConfig* frmConfig = nullptr;

// In tab order: the bar inside the box, OK, Cancel; the label is no tab stop.
TfrmConfig::TfrmConfig() {
  Create("TfrmConfig", ConfigLayout::Form);
  UiFont font;
  font.Face = ConfigLayout::FontFace;
  font.Height = ConfigLayout::FontHeight;
  SetFont(font);
  boxMain.Create(*this, ConfigLayout::BoxMain);
  boxMain.SetText("-");
  barSpeed.Create(boxMain, ConfigLayout::BarSpeed);
  barSpeed.SetLineSize(1);
  barSpeed.SetPageSize(2);
  barSpeed.OnChange = [this] { barSpeedChange(); };
  labHome.Create(boxMain, ConfigLayout::LabHome);
  labHome.SetCentred(true);
  labHome.OnClick = [this] { labHomeClick(); };
  btnOK.Create(*this, ConfigLayout::BtnOK, "OK");
  btnOK.OnClick = [this] { btnOKClick(); };
  btnCancel.Create(*this, ConfigLayout::BtnCancel, "Cancel");
  btnCancel.OnClick = [this] { btnCancelClick(); };
  SetDefaultButton(btnOK);
  SetCancelButton(btnCancel);
}

void TfrmConfig::labHomeClick() { OpenDocument(HomePageUrl); }

void TfrmConfig::barSpeedChange() { boxMain.SetText(SpeedCaption(barSpeed.Position())); }

void TfrmConfig::btnOKClick() {
  // A speed stored nowhere is not passed off as saved: the box says so and
  // the dialog stays open, for another try or Cancel.
  if (SaveSettings())
    Close();
  else
    ErrorBox(SpeedNotStoredText);
}

void TfrmConfig::btnCancelClick() { Close(); }

void TfrmConfig::LoadSettings() {
  SetText(ConfigCaption);
  labHome.SetAutoSize(true);
  labHome.SetText(HomeLinkText);
  UiFont link = labHome.Font();
  link.Height = UiHeightOfPoints(ConfigLayout::LinkPoints);
  link.Bold = true;
  link.Underline = true;
  link.Colour = RGB(0, 0, 255);
  labHome.SetFont(link);
  labHome.SetAutoSize(false);
  labHome.SetBounds({barSpeed.Bounds().Left, labHome.Bounds().Top, barSpeed.Bounds().Width,
                     labHome.Bounds().Height});
  labHome.SetCursor(LoadCursorA(nullptr, IDC_HAND));
  barSpeed.SetMin(SpeedPositionMin);
  barSpeed.SetMax(SpeedPositionMax);
  barSpeed.SetPosition(SpeedPositionOfDelay(GetFrameDelay(), barSpeed.Min(), barSpeed.Max()));
  barSpeedChange();
}

bool TfrmConfig::SaveSettings() {
  return SetFrameDelay(DelayOfSpeedPosition(barSpeed.Position())) != False32;
}

void ShowConfig(Qssaver*) {
  UiApplication application;
  application.Initialize();
  TfrmConfig form;
  frmConfig = &form;
  form.LoadSettings();
  application.Run(form);
  frmConfig = nullptr;
}
