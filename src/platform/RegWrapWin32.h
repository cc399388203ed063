// RegWrap: the library's way into the Windows registry (Win32 only,
// RegWrapWin32.cpp; the path rules are portable, in RegWrapPath.h).
// An accessor holds one root key and at most one open key with its path below
// the root. No routine raises or reports an error: every failure becomes a
// false result, the caller's default, or nothing. Paths, value names and
// strings are UTF-8, handed to the registry's wide (W) calls.
//
// Access: a key is opened (or created) for reading only, KEY_READ, so a user
// who may read a key but not write it (a standard user and the machine's
// keys) reads it; a write asks for KEY_SET_VALUE on the open key for that one
// write. Nothing asks for KEY_ALL_ACCESS.
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
// Opens path by the rules of RegWrapPlanOpen with KEY_READ (RegOpenKeyExW);
// with create non-zero RegCreateKeyExW with KEY_READ, which creates a
// missing key where the caller may create one and opens an existing key for
// reading otherwise (an empty path is only opened). On success the previous
// key is closed and the new one is current; on failure nothing changes and
// the result is false.
Bool32 RegWrapOpenKey(QregWrap* reg, const std::string& path, Bool32 create);
// The REG_SZ or REG_EXPAND_SZ value (unexpanded, up to its first NUL) of the
// current key; the empty string for data of size 0; def when the value is
// missing, of another type, or cannot be read, or when no key is open.
std::string RegWrapReadString(QregWrap* reg, const std::string& name, const std::string& def);
// The REG_DWORD value of the current key; def for anything else.
int32_t RegWrapReadInteger(QregWrap* reg, const std::string& name, int32_t def);
// Writes value as a REG_DWORD into the current key through a second handle
// to it with KEY_SET_VALUE, closed at once; true when the value was written,
// false when no key is open or the caller may not write it.
Bool32 RegWrapWriteInteger(QregWrap* reg, const std::string& name, int32_t value);
// One call: opens path below root for reading without creating it and
// reads the string value name; def when anything fails. A missing key stays
// missing.
std::string RegWrapGetString(HKEY root, const std::string& path, const std::string& name,
                             const std::string& def);
