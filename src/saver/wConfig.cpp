// wConfig: texts and speed arithmetic of the configuration dialog.
#include "saver/wConfig.h"

#include "platform/Routines.h"

const char* const ConfigCaption = "Spiralux 1.0";
const char* const HomeLinkText = "Click here to visit home page";
const char* const HomePageUrl = "http://www.spiralux.com/";

// The stored delays that the bar covers, the settings' bounds.
constexpr int32_t DelayFirst = 1;
constexpr int32_t DelayLast = 40;

int32_t SpeedPositionOfDelay(int32_t delay, int32_t barMin, int32_t barMax) {
  return MapRange(delay, DelayFirst, DelayLast, barMax, barMin);
}

int32_t SpeedPercentOf(int32_t position) {
  return MapRange(position, SpeedPositionMin, SpeedPositionMax, 1, 100);
}

std::string SpeedCaption(int32_t position) {
  return "Animation Speed " + std::to_string(SpeedPercentOf(position)) + "%";
}

int32_t DelayOfSpeedPosition(int32_t position) {
  return MapRange(position, SpeedPositionMin, SpeedPositionMax, DelayLast, DelayFirst);
}
