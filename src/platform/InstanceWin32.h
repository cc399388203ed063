// The single-instance guard: a named kernel semaphore that is never signalled
// or waited on; only its existence counts. It disappears when its last handle
// closes, also when the owning process ends or is killed. Testing and
// creating are two steps: two processes testing at the same moment can both
// go on. Win32 only (InstanceWin32.cpp).
#pragma once

#include <string>

#include "runtime/Basic.h"

using InstanceHandle = void*;

// True when a semaphore of this name exists (opened with
// SEMAPHORE_MODIFY_STATE and closed again at once). Any failure to open, an
// object of another kind of that name included, counts as not existing.
Bool32 InstanceExists(const std::string& name);
// Creates the semaphore (count 0, maximum 1); null when that fails. If it
// existed already, the handle refers to that one.
InstanceHandle InstanceCreate(const std::string& name);
// Closes the handle; null is ignored.
void InstanceClose(InstanceHandle handle);
