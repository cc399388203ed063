// Common1: the product's settings in the registry, under SettingsKey of
// HKEY_LOCAL_MACHINE: the installation folder (read only) and the frame delay
// (1 to 40, default 17). No accessor reports a failure: a missing key or
// value, a value of the wrong type or a key without write access gives the
// default on reading and no change on writing. Win32 build only.
#pragma once

#include <cstdint>
#include <string>

// The leading backslash makes the path absolute from the root key.
extern const char* const SettingsKey;
constexpr int32_t FrameDelayDefault = 17;
constexpr int32_t FrameDelayMin = 1;
constexpr int32_t FrameDelayMax = 40;

// InstFolder (REG_SZ, or REG_EXPAND_SZ unexpanded) with a trailing backslash
// added, or the empty string. Never creates the key.
std::string GetInstFolder();
// FrameDelay clamped to 1..40 (upper bound first); 17 when it is missing or
// not a REG_DWORD. Creates the key, empty, when it is missing.
int32_t GetFrameDelay();
// Stores value as FrameDelay, unclamped, creating the key when missing.
void SetFrameDelay(int32_t value);
