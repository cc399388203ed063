// Path, number and message routines that need no window.
#include "platform/Routines.h"

#include <cctype>
#include <cmath>
#include <stdexcept>

#include "runtime/System.h"

namespace {

std::string moduleCaption;

int32_t Wrap32(int64_t v) { return int32_t(uint32_t(uint64_t(v))); }

}  // namespace

std::string AddBackslash(const std::string& path) {
  if (path.empty() || path.back() == '\\') return path;
  return path + '\\';
}

int32_t MapRange(int32_t value, int32_t fromLow, int32_t fromHigh, int32_t toFirst, int32_t toLast) {
  // The counts and the offset are 32-bit integer arithmetic, wrapping.
  int32_t n = Wrap32(int64_t(fromHigh) - fromLow + 1);
  int32_t m = Wrap32(int64_t(toLast) - toFirst + 1);
  int32_t o = Wrap32(int64_t(value) - fromLow);
  if (n == 0) throw std::domain_error("Floating point division by zero");
  long double q = static_cast<long double>(o) / n;
  q *= m;
  // The default rounding mode rounds halves to the even neighbour.
  long double r = std::nearbyint(q);
  if (!(r >= -2147483648.0L && r <= 2147483647.0L))
    throw std::overflow_error("Invalid floating point operation");
  return Wrap32(int64_t(toFirst) + int64_t(r));
}

int32_t ChooseInt(int32_t flag, int32_t a, int32_t b) { return flag != 0 ? a : b; }

void SetModuleCaption(const std::string& caption) { moduleCaption = caption; }

std::string ApplicationTitleOf(const std::string& programPath) {
  size_t slash = programPath.find_last_of("\\/");
  std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
  name = name.substr(0, name.find('.'));
  for (size_t i = 1; i < name.size(); ++i)
    name[i] = char(std::tolower(static_cast<unsigned char>(name[i])));
  return name;
}

std::string AppTitle() {
  return moduleCaption.empty() ? ApplicationTitleOf(ProgramFilePath()) : moduleCaption;
}

std::string ExceptionText() { return ExceptionTextAt(__builtin_return_address(0)); }
