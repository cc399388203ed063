// Memory and drive facts, the fatal box, modules and the program path,
// native build.
#include <dlfcn.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <cstdio>

#include "runtime/System.h"

bool QueryMemory(MemoryStatus& status) {
  struct sysinfo info;
  if (sysinfo(&info) != 0) return false;
  uint64_t unit = info.mem_unit ? info.mem_unit : 1;
  status = {info.totalram * unit, info.freeram * unit, info.totalswap * unit, info.freeswap * unit};
  return true;
}

void QueryDrive(const std::string& path, DriveStatus& status) {
  struct statvfs fs;
  if (statvfs(path.c_str(), &fs) != 0) return;
  status.Total = uint64_t(fs.f_blocks) * fs.f_frsize;
  status.Free = uint64_t(fs.f_bavail) * fs.f_frsize;
}

void ShowFatalBox(const std::string& text) { std::fprintf(stderr, "Error: %s\n", text.c_str()); }

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
