// The path rules of the registry accessor (RegWrapWin32.h), kept apart from the
// registry calls: where a path is opened and what the current path becomes.
#pragma once

#include <string>

struct RegKeyPlan {
  bool BelowCurrent;    // open below the current key; else below the root
  std::string SubKey;   // the path handed to the registry, no leading backslash
  std::string NewPath;  // the current path once the key is open
};

// A path that begins with a backslash is absolute: the backslash goes and the
// key is opened below the root, whatever is open. Any other path is relative:
// below the current key when one is open (the new current path is the old one,
// a backslash and the path), else below the root.
RegKeyPlan RegWrapPlanOpen(bool keyOpen, const std::string& currentPath, const std::string& path);
