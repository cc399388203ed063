// Toolkit: scaling from the 96-DPI design.
#include "platform/Toolkit.h"

int32_t UiScale(int32_t value, int32_t dpi) {
  int64_t scaled = int64_t(value) * dpi;
  int64_t half = UiDesignDpi / 2;
  return int32_t(scaled >= 0 ? (scaled + half) / UiDesignDpi : -((-scaled + half) / UiDesignDpi));
}

UiRect UiScaleRect(const UiRect& rect, int32_t dpi) {
  int32_t left = UiScale(rect.Left, dpi);
  int32_t top = UiScale(rect.Top, dpi);
  return {left, top, UiScale(rect.Left + rect.Width, dpi) - left,
          UiScale(rect.Top + rect.Height, dpi) - top};
}
