// InputRules: which input ends the player. A key, a mouse button or the
// wheel ends it at once. The mouse ends it only when it has moved away from
// where it was first seen by more than InputJitter pixels on either axis:
// Windows sends a mouse message when the window appears (and again when
// windows change under a resting cursor), and a mouse on a desk wanders a
// pixel or two on its own. So the first mouse message only tells where the
// mouse is; it never ends the player.
#pragma once

#include <cstdint>

constexpr int32_t InputJitter = 4;

struct InputRules {
  bool HasOrigin = false;
  int32_t OriginX = 0, OriginY = 0;
};

enum class InputKind { MouseMove, Key, Button, Wheel };

// True when the input ends the player. x and y are the mouse's position
// (screen or window pixels, the same throughout) for MouseMove and are not
// read otherwise.
bool InputEnds(InputRules& rules, InputKind kind, int32_t x, int32_t y);
