// RegWrap: the library's way into the Windows registry (Win32 only,
// RegWrapWin32.cpp; the path rules are portable, in RegWrapPath.h).
// An accessor holds one root key and at most one open key with its path below
// the root. No routine raises or reports an error: every failure becomes a
// false result, the caller's default, or nothing. Every key is opened or
// created with KEY_ALL_ACCESS, also for reading, so a key the caller may not
// write cannot be opened at all.
#pragma once

#include <windows.h>

#include <string>

#include "platform/RegWrapPath.h"
#include "runtime/Basic.h"

struct QregWrap {
  HKEY Root;                // a predefined root key
  HKEY CurrentKey;          // the open key, or null
  std::string CurrentPath;  // its path below Root, without a leading backslash
  Bool32 LazyWrite;         // true: closing a key does not flush it
};

// NotFound given as a root key selects HKEY_CURRENT_USER.
inline HKEY RegRootOf(int32_t notFoundOrKey) { return HKEY(intptr_t(notFoundOrKey)); }

// A new accessor on root (NotFound: HKEY_CURRENT_USER), no key open, lazy
// write on; null when it cannot be made. The caller owns it.
QregWrap* RegWrapCreate(HKEY root);
// Closes the open key and releases the accessor; null is accepted.
void RegWrapFree(QregWrap* reg);
// Changes the root (NotFound: HKEY_CURRENT_USER), closing an open key first;
// the same root again changes nothing.
void RegWrapSetRoot(QregWrap* reg, HKEY root);
// Opens path by the rules of RegWrapPlanOpen; with create non-zero a missing
// key is created (an empty path is only opened). On success the previous key
// is closed and the new one is current; on failure nothing changes and the
// result is false.
Bool32 RegWrapOpenKey(QregWrap* reg, const std::string& path, Bool32 create);
// The REG_SZ or REG_EXPAND_SZ value (unexpanded, up to its first NUL) of the
// current key; the empty string for data of size 0; def when the value is
// missing, of another type, or cannot be read, or when no key is open.
std::string RegWrapReadString(QregWrap* reg, const std::string& name, const std::string& def);
// The REG_DWORD value of the current key; def for anything else.
int32_t RegWrapReadInteger(QregWrap* reg, const std::string& name, int32_t def);
// Writes value as a REG_DWORD into the current key; errors are dropped.
void RegWrapWriteInteger(QregWrap* reg, const std::string& name, int32_t value);
// One call: opens path below root without creating it and reads the string
// value name; def when anything fails. A missing key stays missing.
std::string RegWrapGetString(HKEY root, const std::string& path, const std::string& name,
                             const std::string& def);
