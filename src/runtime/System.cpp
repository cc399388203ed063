// The description of the exception being handled.
#include "runtime/System.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <typeinfo>

namespace {

std::string Demangled(const char* name) {
  int status = 0;
  char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  std::string text = (status == 0 && plain) ? plain : name;
  std::free(plain);
  return text;
}

}  // namespace

std::string ExceptionTextAt(const void* codeAddress) {
  std::string type = "Exception";
  if (const std::type_info* t = abi::__cxa_current_exception_type()) type = Demangled(t->name());
  std::string message;
  try {
    throw;
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
  }
  ModuleLocation where = ModuleOfAddress(codeAddress);
  char address[32];
  std::snprintf(address, sizeof address, "%08X", unsigned(where.Offset));
  std::string text = "Exception " + type + " in module " + where.FileName + " at " + address + ".\n" +
                     message;
  if (message.empty() || message.back() != '.') text += '.';
  if (text.size() > 1024) text.resize(1024);
  return text;
}
