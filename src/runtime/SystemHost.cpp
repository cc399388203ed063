// Memory and drive facts and the fatal box, native build.
#include <sys/statvfs.h>
#include <sys/sysinfo.h>

#include <cstdio>

#include "runtime/SystemInfo.h"

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
