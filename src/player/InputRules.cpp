// InputRules: the ending rules.
#include "player/InputRules.h"

bool InputEnds(InputRules& rules, InputKind kind, int32_t x, int32_t y) {
  if (kind != InputKind::MouseMove) return true;
  if (!rules.HasOrigin) {
    rules.HasOrigin = true;
    rules.OriginX = x;
    rules.OriginY = y;
    return false;
  }
  int64_t dx = int64_t(x) - rules.OriginX, dy = int64_t(y) - rules.OriginY;
  return dx > InputJitter || dx < -InputJitter || dy > InputJitter || dy < -InputJitter;
}
