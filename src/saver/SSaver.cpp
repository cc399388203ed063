// The screen-saver framework: parser, instance name, dispatch table.
#include "saver/SSaver.h"

#include "platform/Routines.h"
#include "runtime/System.h"

namespace {

bool dispatchBusy = false;

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The flag is cleared on every way out of the dispatch.
struct BusyScope {
  BusyScope() { dispatchBusy = true; }
  ~BusyScope() { dispatchBusy = false; }
};

}  // namespace

const char* const PlayerFileName = "SpiraMain.exe";

void SaverSetOnSaver(Qssaver* saver, SaverHandler handler) {
  if (saver) saver->OnSaver = handler;
}
void SaverSetOnPaint(Qssaver* saver, SaverHandler handler) {
  if (saver) saver->OnPaint = handler;
}
void SaverSetOnConfigure(Qssaver* saver, SaverHandler handler) {
  if (saver) saver->OnConfigure = handler;
}
void SaverSetOnDefault(Qssaver* saver, SaverHandler handler) {
  if (saver) saver->OnDefault = handler;
}

void SaverParseArgs(const std::string& text, char& letter, uint32_t& handle) {
  letter = 'C';
  handle = 0;
  size_t at = text.find('/');
  if (at == std::string::npos) at = text.find('-');
  if (at == std::string::npos) return;
  ++at;
  if (at >= text.size()) return;
  letter = UpperAscii(text[at++]);
  while (at < text.size() && !IsDigit(text[at])) ++at;
  while (at < text.size() && IsDigit(text[at])) handle = handle * 10u + uint32_t(text[at++] - '0');
}

std::string SaverInstanceNameOf(const std::string& programPath) {
  std::string name = programPath;
  for (char& c : name) {
    c = UpperAscii(c);
    if (!IsDigit(c) && !(c >= 'A' && c <= 'Z') && c != '_') c = '_';
  }
  return name;
}

std::string SaverInstanceName() { return SaverInstanceNameOf(ProgramFilePath()); }

void SaverDispatch(Qssaver* saver, const SaverPlatform& platform) {
  if (!saver || dispatchBusy) return;
  BusyScope busy;
  try {
    char letter;
    uint32_t handle;
    SaverParseArgs(std::string(saver->CommandLine), letter, handle);
    HWND__* parsed = reinterpret_cast<HWND__*>(uintptr_t(handle));
    switch (letter) {
      case 'S':
        if (saver->OnSaver) saver->OnSaver(saver);
        break;
      case 'P':
        if (saver->OnPaint) {
          saver->Window = parsed;
          if (parsed) platform.RunPreview(saver);
        }
        break;
      case 'A':
        if (saver->OnPassword) {
          saver->Window = parsed;
          saver->OnPassword(saver);
        }
        break;
      case 'D':
        if (saver->OnDefault) saver->OnDefault(saver);
        break;
      default:  // C, L and every letter without a mode of its own
        if (saver->OnConfigure) {
          saver->Window = platform.FindConfigOwner();
          saver->OnConfigure(saver);
        }
        break;
    }
  } catch (...) {
    // A handler's failure ends its mode silently.
  }
}

std::string PlayerPathIn(const std::string& folder) { return AddBackslash(folder) + PlayerFileName; }

std::string MissingFolderText(const std::string& folder) {
  return "Data folder does not exist!\r\n\"" + folder + "\"";
}
