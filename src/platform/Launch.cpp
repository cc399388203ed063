// Command lines and working directories for launching.
#include "platform/Launch.h"

#include "platform/Routines.h"

namespace {

bool IsControl(char c) { return static_cast<unsigned char>(c) <= 32; }

bool Quoted(const std::string& text) {
  return text.size() >= 2 && text.front() == '"' && text.back() == '"';
}

}  // namespace

std::string TrimControls(const std::string& text) {
  size_t first = 0, last = text.size();
  while (first < last && IsControl(text[first])) ++first;
  while (last > first && IsControl(text[last - 1])) --last;
  return text.substr(first, last - first);
}

std::string QuoteIfSpaces(const std::string& text) {
  std::string t = TrimControls(text);
  if (t.find(' ') != std::string::npos && !Quoted(t)) return '"' + t + '"';
  return t;
}

std::string StripBackslash(const std::string& path) {
  size_t n = path.size();
  if (n > 1 && path[n - 1] == '\\' && path[n - 2] != ':') return path.substr(0, n - 1);
  return path;
}

LaunchCommand LaunchCommandFor(const std::string& file, const std::string& params,
                               const std::string& workDir) {
  LaunchCommand c;
  c.CommandLine = TrimControls(QuoteIfSpaces(file) + ' ' + params);
  c.WorkDir = workDir;
  if (c.WorkDir.empty()) {
    // The folder of a quoted file is read inside the quotes: a leading quote
    // would make the folder one that cannot exist.
    std::string plain = TrimControls(file);
    if (Quoted(plain)) plain = plain.substr(1, plain.size() - 2);
    size_t cut = plain.find_last_of("\\:");
    if (cut != std::string::npos) c.WorkDir = StripBackslash(plain.substr(0, cut + 1));
  }
  return c;
}

int32_t LaunchShowState(Bool32 minimised) { return ChooseInt(minimised, 6, 5); }
