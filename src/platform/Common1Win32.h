// Common1: the settings' accessors (Win32 only, Common1Win32.cpp); the key
// and the delay's range are in Common1.h. No accessor reports a failure: a
// missing key or value, a value of the wrong type or a key without write
// access gives the default on reading and no change on writing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Common1.h"

// InstFolder (REG_SZ, or REG_EXPAND_SZ unexpanded) with a trailing backslash
// added, or the empty string. Never creates the key.
std::string GetInstFolder();
// FrameDelay clamped to 1..40 (upper bound first); 17 when it is missing or
// not a REG_DWORD. Creates the key, empty, when it is missing.
int32_t GetFrameDelay();
// Stores value as FrameDelay, unclamped, creating the key when missing.
void SetFrameDelay(int32_t value);
