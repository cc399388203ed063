// Parent: the screen saver's file name.
#include "player/Parent.h"

#include <cctype>

bool ParentIsScreenSaver(const std::string& imagePath) {
  const size_t slash = imagePath.find_last_of("\\/");
  const std::string name = slash == std::string::npos ? imagePath : imagePath.substr(slash + 1);
  static const char extension[] = ".scr";
  const size_t n = sizeof extension - 1;
  if (name.size() <= n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != extension[i]) return false;
  return true;
}
