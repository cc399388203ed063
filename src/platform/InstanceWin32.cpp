// The single-instance guard.
#include <windows.h>

#include "platform/InstanceWin32.h"

Bool32 InstanceExists(const std::string& name) {
  HANDLE h = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, name.c_str());
  if (!h) return False32;
  CloseHandle(h);
  return True32;
}

InstanceHandle InstanceCreate(const std::string& name) {
  return CreateSemaphoreA(nullptr, 0, 1, name.c_str());
}

void InstanceClose(InstanceHandle handle) {
  if (handle) CloseHandle(handle);
}
