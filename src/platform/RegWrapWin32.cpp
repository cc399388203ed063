// RegWrap: the registry accessor.
#include "platform/RegWrapWin32.h"

#include <new>
#include <vector>

#include "platform/RoutinesWin32.h"

namespace {

HKEY ChosenRoot(HKEY root) { return root == RegRootOf(NotFound) ? HKEY_CURRENT_USER : root; }

void CloseCurrent(QregWrap* reg) {
  if (!reg->CurrentKey) return;
  if (!reg->LazyWrite) RegFlushKey(reg->CurrentKey);
  RegCloseKey(reg->CurrentKey);
  reg->CurrentKey = nullptr;
  reg->CurrentPath.clear();
}

}  // namespace

QregWrap* RegWrapCreate(HKEY root) {
  QregWrap* reg = new (std::nothrow) QregWrap{ChosenRoot(root), nullptr, std::string(), True32};
  return reg;
}

void RegWrapFree(QregWrap* reg) {
  if (!reg) return;
  CloseCurrent(reg);
  delete reg;
}

void RegWrapSetRoot(QregWrap* reg, HKEY root) {
  if (!reg) return;
  root = ChosenRoot(root);
  if (root == reg->Root) return;
  CloseCurrent(reg);
  reg->Root = root;
}

Bool32 RegWrapOpenKey(QregWrap* reg, const std::string& path, Bool32 create) {
  if (!reg) return False32;
  try {
    RegKeyPlan plan = RegWrapPlanOpen(reg->CurrentKey != nullptr, reg->CurrentPath, path);
    HKEY key = nullptr;
    LONG rc;
    if (create && !plan.SubKey.empty())
      // Created by its whole path from the root, not below the open key,
      // whose handle is for reading only.
      rc = RegCreateKeyExW(reg->Root, WideOf(plan.NewPath).c_str(), 0, nullptr,
                           REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &key, nullptr);
    else
      rc = RegOpenKeyExW(plan.BelowCurrent ? reg->CurrentKey : reg->Root,
                         WideOf(plan.SubKey).c_str(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) return False32;
    CloseCurrent(reg);
    reg->CurrentKey = key;
    reg->CurrentPath = plan.NewPath;
    return True32;
  } catch (...) {
    return False32;
  }
}

std::string RegWrapReadString(QregWrap* reg, const std::string& name, const std::string& def) {
  if (!reg || !reg->CurrentKey) return def;
  try {
    std::wstring wideName = WideOf(name);
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(reg->CurrentKey, wideName.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
      return def;
    if (size == 0) return std::string();
    // A character more than the data holds, zero: a stored string need not
    // end in NUL, and its size in bytes may be odd.
    std::vector<wchar_t> data(size_t(size) / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(reg->CurrentKey, wideName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
      return def;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return def;
    return Utf8Of(data.data());
  } catch (...) {
    return def;
  }
}

int32_t RegWrapReadInteger(QregWrap* reg, const std::string& name, int32_t def) {
  if (!reg || !reg->CurrentKey) return def;
  try {
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExW(reg->CurrentKey, WideOf(name).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
      return def;
    // A REG_DWORD shorter than four bytes is as unreadable as a longer one.
    if (type != REG_DWORD || size != sizeof value) return def;
    return int32_t(value);
  } catch (...) {
    return def;
  }
}

Bool32 RegWrapWriteInteger(QregWrap* reg, const std::string& name, int32_t value) {
  if (!reg || !reg->CurrentKey) return False32;
  try {
    std::wstring wideName = WideOf(name);
    // The open key is for reading: the write asks for its own access, which
    // the key's security grants or refuses now.
    HKEY writable = nullptr;
    if (RegOpenKeyExW(reg->CurrentKey, L"", 0, KEY_SET_VALUE, &writable) != ERROR_SUCCESS)
      return False32;
    DWORD data = DWORD(value);
    LONG rc = RegSetValueExW(writable, wideName.c_str(), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&data), sizeof data);
    RegCloseKey(writable);
    return rc == ERROR_SUCCESS ? True32 : False32;
  } catch (...) {
    return False32;
  }
}

std::string RegWrapGetString(HKEY root, const std::string& path, const std::string& name,
                             const std::string& def) {
  QregWrap* reg = RegWrapCreate(root);
  if (!reg) return def;
  std::string value = RegWrapOpenKey(reg, path, False32) ? RegWrapReadString(reg, name, def) : def;
  RegWrapFree(reg);
  return value;
}
