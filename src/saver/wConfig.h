// wConfig: the configuration dialog's texts and its speed arithmetic, apart
// from its windows. The track bar runs from position 1 (slowest) to 50
// (fastest); the registry keeps the frame delay, 1 to 40, a lower delay being
// a higher speed. The form itself, TfrmConfig, is in wConfigWin32.h.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Toolkit.h"

extern const char* const ConfigCaption;  // "Spiralux 1.0"
extern const char* const HomeLinkText;   // "Click here to visit home page"
extern const char* const HomePageUrl;    // the maker's home page, an http address
// The box shown when OK could store the speed nowhere.
extern const char* const SpeedNotStoredText;  // "The animation speed could not be saved."

// The form as designed at 96 DPI: the form's outer top-left corner on the
// screen with its client size, each control inside its parent's client area.
namespace ConfigLayout {
constexpr UiRect Form = {236, 244, 486, 220};
constexpr UiRect BoxMain = {12, 8, 463, 148};    // in the form
constexpr UiRect BarSpeed = {10, 30, 442, 46};   // in boxMain
constexpr UiRect LabHome = {215, 101, 42, 13};   // in boxMain, before LoadSettings
constexpr UiRect BtnOK = {275, 175, 90, 28};     // in the form
constexpr UiRect BtnCancel = {375, 175, 90, 28};
constexpr const char* FontFace = "MS Sans Serif";
constexpr int32_t FontHeight = -11;  // 8 points
constexpr int32_t LinkPoints = 10;   // the link: bold, underlined, pure blue
}  // namespace ConfigLayout

constexpr int32_t SpeedPositionMin = 1;
constexpr int32_t SpeedPositionMax = 50;

// The track-bar position shown for a stored delay: delays 1..40 onto the
// bar's maximum down to its minimum by MapRange, so 1 gives 50, 17 gives 31
// and 40 gives 3 on a bar of 1..50.
int32_t SpeedPositionOfDelay(int32_t delay, int32_t barMin, int32_t barMax);
// The percent shown for a position of 1..50: 2 * position - 1.
int32_t SpeedPercentOf(int32_t position);
// The group box's caption for a position: "Animation Speed 61%".
std::string SpeedCaption(int32_t position);
// The delay that OK stores for a position: 1..50 onto 40 down to 3.
int32_t DelayOfSpeedPosition(int32_t position);
