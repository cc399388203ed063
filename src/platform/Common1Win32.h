// Common1: the settings' accessors (Win32 only, Common1Win32.cpp); the key
// and the delay's range are in Common1.h.
//
// Who may change what: the installation folder, which names the program
// that every user's saver starts, lives under HKEY_LOCAL_MACHINE alone,
// which only an administrator may write, and is never read from anywhere a
// user may write. The frame delay is a user's own choice: a user's value
// under HKEY_CURRENT_USER comes first, and the machine's value under
// HKEY_LOCAL_MACHINE (stored by an elevated administrator's OK in the
// dialog) is the default of every user who has set none.
// Reading asks for read access only, so a standard user reads both keys.
// No accessor reports a failure on reading: a missing key or value or a
// value of the wrong type gives the default.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Common1.h"
#include "runtime/Basic.h"

// InstFolder of the machine's key (REG_SZ, or REG_EXPAND_SZ unexpanded;
// UTF-8) with a trailing backslash added, or the empty string. Never creates
// the key.
std::string GetInstFolder();
// The user's FrameDelay when it is a REG_DWORD, else the machine's, else 17;
// clamped to 1..40 (upper bound first). Creates the machine's key, empty,
// when it is missing and the caller may create it.
int32_t GetFrameDelay();
// Stores value, unclamped, as the delay that this user's player reads: into
// the machine's key (created when missing) where the caller may write it,
// and then into the user's key too when that exists, so that a value of the
// user's own does not hide it; where the caller may not write the machine's
// key, into the user's key, created when missing. True when the value was
// stored so; false when it could not be.
Bool32 SetFrameDelay(int32_t value);
