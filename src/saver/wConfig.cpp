// wConfig: texts and speed arithmetic of the configuration dialog.
#include "saver/wConfig.h"

#include "platform/Routines.h"
#include "platform/Common1.h"

const char* const ConfigCaption = "Spiralux 1.0";
const char* const HomeLinkText = "Click here to visit home page";
const char* const HomePageUrl = "http://www.spiralux.com/";
const char* const SpeedNotStoredText = "The animation speed could not be saved.";

int32_t SpeedPositionOfDelay(int32_t delay, int32_t barMin, int32_t barMax) {
  return MapRange(delay, FrameDelayMin, FrameDelayMax, barMax, barMin);
}

int32_t SpeedPercentOf(int32_t position) {
  return MapRange(position, SpeedPositionMin, SpeedPositionMax, 1, 100);
}

std::string SpeedCaption(int32_t position) {
  return "Animation Speed " + std::to_string(SpeedPercentOf(position)) + "%";
}

int32_t DelayOfSpeedPosition(int32_t position) {
  return MapRange(position, SpeedPositionMin, SpeedPositionMax, FrameDelayMax, FrameDelayMin);
}
