// Path rules of the registry accessor.
#include "platform/RegWrapPath.h"

RegKeyPlan RegWrapPlanOpen(bool keyOpen, const std::string& currentPath, const std::string& path) {
  if (!path.empty() && path[0] == '\\') {
    std::string sub = path.substr(1);
    return {false, sub, sub};
  }
  if (!keyOpen) return {false, path, path};
  // A key opened at the root itself has an empty path: no separator then.
  if (currentPath.empty() || path.empty()) return {true, path, currentPath + path};
  return {true, path, currentPath + '\\' + path};
}
