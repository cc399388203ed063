// Platform facts of the small routines, native build.
#include <dlfcn.h>
#include <unistd.h>

#include "platform/Routines.h"

ModuleLocation ModuleOfAddress(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || !info.dli_fname) return {"?", uintptr_t(address)};
  std::string name = info.dli_fname;
  size_t slash = name.rfind('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  return {name, uintptr_t(address) - uintptr_t(info.dli_fbase)};
}

std::string ProgramFilePath() {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, size_t(n)) : std::string();
}
