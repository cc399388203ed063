// Monitored sections, error messages, trace and shut-down reports.
#include "runtime/Errors.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/System.h"

namespace {

MonFrame frames[MonStackSize + 1];  // frames 1 .. 256; frame 0 is unused
int32_t monDepth = 0;
int32_t monExceptCount = 0;
ErrorPair lastError = ErrNone;
ErrorPair lastWarning = ErrNone;
bool monPaused = false;
bool errorsMuted = false;

std::string lastExceptText;
std::string currentFileName;
bool traceEnabled = false;
std::string traceFileName = "\\trace.txt";
FatalMessageHook fatalHook = nullptr;

MonFrame& Top() { return frames[monDepth]; }
bool HasError(const MonFrame& f) { return f.Category != 0 && f.Code != 0; }

}  // namespace

// ------------------------------------------------------ monitored sections

void MonEnter() {
  if (monPaused) return;
  if (monDepth == MonStackSize) {
    FatalMessage("Fatal error: internal monitoring overflow.");
    RuntimeShutdown();
    std::_Exit(1);
  }
  MonFrame& f = frames[monDepth + 1];
  f = MonFrame{};
  if (monDepth == 0) monExceptCount = 0;
  f.MemMark = MemCount();
  f.FileMark = FileCount();
  ++monDepth;
  if (!errorsMuted) lastError = ErrNone;
  lastWarning = ErrNone;
}

void MonSetError(int32_t category, int32_t code) {
  if (errorsMuted) return;
  errorsMuted = true;
  if (category != 0 && code != 0) {
    lastError = {category, code};
    TraceError('!', category, code);
  } else {
    lastError = ErrNone;
  }
  errorsMuted = false;
  MonRaise(category, code);
}

void MonRaise(int32_t category, int32_t code) {
  if (monPaused || monDepth == 0 || category == 0 || code == 0 || Top().Failed) return;
  Top().Category = category;
  Top().Code = code;
  MonCleanup();
  Top().Failed = True32;
  throw EMon(ErrorText(category, code));
}

void MonCleanup() {
  if (monPaused || monDepth == 0) return;
  bool wasMuted = errorsMuted;
  monPaused = true;
  errorsMuted = true;
  try {
    MemFreeAbove(Top().MemMark);
    FileCloseAbove(Top().FileMark);
  } catch (...) {
  }
  errorsMuted = wasMuted;
  monPaused = false;
}

void MonExcept() {
  if (monPaused) return;
  ++monExceptCount;
  if (monDepth == 0 || !(lastError == ErrNone) || Top().Failed) return;
  MonCleanup();
  lastError = ErrExcept;
  lastExceptText = ExceptionTextAt(__builtin_return_address(0));
  Top().Category = ErrExcept.Category;
  Top().Code = ErrExcept.Code;
  Top().Failed = True32;
  TraceError('!', ErrExcept.Category, ErrExcept.Code);
}

void MonLeave() {
  if (monPaused || monDepth == 0) return;
  if (monExceptCount > 1) {
    // Sections abandoned by an exception without their MonLeave: their
    // frames are discarded and the error lands in the section whose leave
    // this is. Failed travels with the error, or the failure would be
    // dropped silently (the frame receiving it never captured it itself).
    int32_t target = monDepth - monExceptCount + 1;
    if (target < 1) target = 1;
    frames[target].Category = Top().Category;
    frames[target].Code = Top().Code;
    frames[target].Failed = Top().Failed;
    monDepth = target;
  }
  if (HasError(Top())) MonCleanup();
  MonFrame popped = Top();
  --monDepth;
  monExceptCount = 0;
  lastError = {popped.Category, popped.Code};
  if (monDepth > 0) {
    Top().Category = popped.Category;
    Top().Code = popped.Code;
    Top().Failed = popped.Failed;
  }
  if (HasError(popped) && popped.Failed) throw EMon(ErrorText(popped.Category, popped.Code));
}

void MonFail() {
  if (!monPaused && monDepth > 0 && !Top().Failed) Top().Failed = True32;
  throw EMon("");
}

void MonWarn(int32_t category, int32_t code) {
  if (category != 0 && code != 0) {
    // Traced first: closing the trace file clears LastWarning.
    TraceError('?', category, code);
    lastWarning = {category, code};
  } else {
    lastWarning = ErrNone;
  }
}

int32_t MonDepth() { return monDepth; }
const MonFrame& MonTop() { return frames[monDepth]; }
ErrorPair LastError() { return lastError; }
ErrorPair LastWarning() { return lastWarning; }
bool MonPaused() { return monPaused; }
bool ErrorsMuted() { return errorsMuted; }

void SetFatalMessageHook(FatalMessageHook hook) { fatalHook = hook; }

void FatalMessage(const std::string& text) {
  if (fatalHook)
    fatalHook(text);
  else
    ShowFatalBox(text);
}

// ------------------------------------------------------ error vocabulary

namespace {

struct CodeTable {
  const char* const* Messages;  // codes 1 .. Count
  int32_t Count;
  const char* Other;
};

const char* const general[] = {"Out of range.", "Not supported.", "Invalid variable type."};
const char* const memory[] = {"Memory allocation fault.",   "Memory manager fault.",
                              "Memory reallocation fault.", "Memory could not be deallocated.",
                              "Invalid memory request.",    "Fatal memory manager error."};
// The messages of the codes that EndsWithFileName lists are followed by the
// current file name.
const char* const files[] = {"Cannot open file: ",
                             "Cannot create file: ",
                             "Cannot read from file.",
                             "Cannot write to file.",
                             "Cannot seek in file.",
                             "Cannot delete file: ",
                             "Cannot append to file: ",
                             "Cannot close file.",
                             "File not exist.",
                             "File name change failed.",
                             "Fatal file manager fault."};
const char* const images[] = {"Image format not supported.",
                              "Invalid image format.",
                              "Cannot decompress image data.",
                              "Image header invalid.",
                              "Cannot compress image data.",
                              "Cannot initialize image function.",
                              "Cannot initialize image compression data.",
                              "Cannot open image file.",
                              "Image data corrupted.",
                              "Cannot realize palette.",
                              "Cannot create image file."};
const char* const audio[] = {"Audio conversion error.", "Audio conversion error (ACM).",
                             "Audio conversion error (WAVE).", "Invalid audio format."};
const char* const avi[] = {"Cannot read from AVI file.",
                           "Cannot write to AVI file.",
                           "Cannot read audio data from AVI file.",
                           "Cannot write audio data to AVI file.",
                           "Cannot open AVI file.",
                           "Cannot create AVI file.",
                           "Cannot initialize AVI codec.",
                           "AVI audio stream not valid (decompressor not found?), ignoring audio"};
const char* const movies[] = {"Invalid movie format.",
                              "Cannot write to movie file.",
                              "Cannot decompress movie image data.",
                              "Cannot compress movie image data.",
                              "Movie format not supported.",
                              "Cannot open movie file.",
                              "End of movie reached.",
                              "Cannot create movie file."};
const char* const wav[] = {"Cannot open WAV file.", "Cannot create WAV file.",
                           "Cannot read from WAV file.", "Cannot write to WAV file.",
                           "Cannot seek in WAV file."};
const char* const hav[] = {"End of HAV movie reached."};
const char* const uni[] = {"UNI protocol fault."};
const char* const flic[] = {"End of FLIC movie reached."};

#define TABLE(t, other) CodeTable{t, int32_t(sizeof t / sizeof t[0]), other}
#define LAST_CODE(t, pair) \
  static_assert(sizeof t / sizeof t[0] == size_t(pair.Code), #t " ends at " #pair)

// Each message array ends at the last code that Errors.h names for it.
LAST_CODE(general, ErrInvalidVariableType);
LAST_CODE(memory, ErrMemFatal);
LAST_CODE(files, ErrFileFatal);
LAST_CODE(images, ErrImgCannotCreate);
LAST_CODE(audio, ErrAudioInvalidFormat);
LAST_CODE(avi, ErrAviAudioStreamInvalid);
LAST_CODE(movies, ErrMovieCannotCreate);
LAST_CODE(wav, ErrWavCannotSeek);
LAST_CODE(hav, ErrHavEnd);
LAST_CODE(uni, ErrUniProtocol);
LAST_CODE(flic, ErrFlicEnd);

const CodeTable* TableOf(int32_t category) {
  static const CodeTable tables[] = {
      TABLE(general, "General \"GEN\" error."),
      TABLE(memory, "General memory fault."),
      TABLE(files, "General file handling fault."),
      TABLE(images, "General image handling fault."),
      TABLE(audio, "General audio handling fault."),
      TABLE(avi, "General AVI handling fault."),
      TABLE(movies, "General \"MVI\" handling fault."),
      TABLE(wav, "general \"WAV\" handling fault."),
      TABLE(movies, "General \"MVI\" handling fault."),
      TABLE(hav, "General \"HAV\" handling fault."),
      TABLE(uni, "General \"UNI\" handling fault."),
      TABLE(flic, "General \"FLIC\" handling fault."),
  };
  switch (category) {
    case ErrCatGeneral: case ErrCatMemory: case ErrCatFile:
    case ErrCatImage: case ErrCatAudio: case ErrCatAvi:
      return &tables[category - ErrCatGeneral];
    case ErrCatMovie: case ErrCatWav: case ErrCatMvi:
    case ErrCatHav: case ErrCatUni: case ErrCatFlic:
      return &tables[category - ErrCatMovie + 6];
    default:
      return nullptr;
  }
}

#undef LAST_CODE
#undef TABLE

bool EndsWithFileName(int32_t category, int32_t code) {
  ErrorPair e = {category, code};
  return e == ErrFileCannotOpen || e == ErrFileCannotCreate || e == ErrFileCannotDelete ||
         e == ErrFileCannotAppend;
}

}  // namespace

std::string ErrorText(int32_t category, int32_t code) {
  if (category == 0 || code == 0) return "No errors.";
  if (category >= 1 && category <= ErrCatExcept) return lastExceptText;
  if (const CodeTable* t = TableOf(category)) {
    if (code < 1 || code > t->Count) return t->Other;
    std::string text = t->Messages[code - 1];
    if (EndsWithFileName(category, code)) text += currentFileName;
    return text;
  }
  switch (category) {
    case ErrCatAviSystem: return "AVI subsystem malfunction: " + FormatNumber(code, 0);
    case ErrCatVfw: return "Video For Windows malfunction: " + FormatNumber(code, 0);
    case ErrCatAcm: return "Fatal error in Audio Compression Manager: " + FormatNumber(code, 0);
    case ErrCatWinMm: return "Fatal error in Win-MM: " + FormatNumber(code, 0);
    default: return "Undefined error: " + FormatNumber(category, 0) + ":" + FormatNumber(code, 0);
  }
}

const std::string& CurrentFileName() { return currentFileName; }
void SetCurrentFileName(const std::string& name) { currentFileName = name; }
const std::string& LastExceptText() { return lastExceptText; }

// ------------------------------------------------------ trace and reports

bool TraceEnabled() { return traceEnabled; }

void TraceSwitchForTests(bool enabled, const std::string& fileName) {
  traceEnabled = enabled;
  traceFileName = fileName;
}

void TraceLine(const std::string& text) {
  if (!traceEnabled) return;
  errorsMuted = true;
  traceEnabled = false;  // a line written while writing one is dropped
  std::string savedName = currentFileName;
  int32_t id;
  if (FileOpenText(id, traceFileName, FileAppend) == 0) {
    FileWriteLine(id, text);
    FileClose(id);
  }
  currentFileName = savedName;
  traceEnabled = true;
  errorsMuted = false;
}

void TraceText(const std::string& text) {
  if (!traceEnabled) return;
  if (text.empty()) {
    TraceLine("#");
    return;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    TraceLine("#" + text.substr(start, end - start));
    start = end + 2;
  }
}

void TraceException() {
  if (!traceEnabled) return;
  TraceLine("Error: " + ExceptionTextAt(__builtin_return_address(0)));
  TraceLine(TracePath());
}

std::string TracePath() { return std::string(); }

void TraceError(char mark, int32_t category, int32_t code) {
  if (!traceEnabled) return;
  TraceLine(std::string(1, mark) + FormatNumber(category, 0) + ":" + FormatNumber(code, 0) + ";\"" +
            ErrorText(category, code) + "\"");
  TraceLine("@" + TracePath() + ";" + FormatNumber(0, 0));
  ReportMemory();
  ReportDrive("c:\\");
}

namespace {

std::string TotalFreeLine(uint64_t totalMb, uint64_t freeMb) {
  return "  total: " + FormatNumber(int32_t(uint32_t(totalMb)), 100) +
         " MB, free: " + FormatNumber(int32_t(uint32_t(freeMb)), 100) + " MB";
}

}  // namespace

void ReportMemory() {
  if (!traceEnabled) return;
  MemoryStatus m;
  if (!QueryMemory(m)) return;
  const uint64_t mb = 1048576;
  TraceText("Physical memory:");
  TraceText(TotalFreeLine(m.PhysicalTotal / mb, m.PhysicalFree / mb));
  TraceText("Swap memory:");
  TraceText(TotalFreeLine(m.SwapTotal / mb, m.SwapFree / mb));
}

void ReportDrive(const std::string& path) {
  if (!traceEnabled) return;
  DriveStatus d{};
  QueryDrive(path, d);
  TraceText("Drive " + path + "(" + d.FileSystem.substr(0, 128) + ")");
  TraceText(TotalFreeLine(d.Total / 1024 / 1024, d.Free / 1024 / 1024));
}

void ReportLeaks() {
  std::string text;
  if (MemCount() > 0) {
    text += "Max. allocated memory handles: " + FormatNumber(MemPeak(), 100) + "\r\n" +
            "Memory handles not freed:\r\n";
    for (int32_t i = MemCount() - 1; i >= 0; --i) {
      text += "  " + MemTable[i].Name + ":" + FormatNumber(MemTable[i].Size, 100) + " bytes\r\n";
      void* block = MemTable[i].Block;
      MemFree(block);
    }
  }
  if (FileCount() > 0) {
    text += "Files not closed: " + FormatNumber(FileCount(), 100) + "\r\n";
    for (int32_t i = FileCount() - 1; i >= 0; --i) {
      text += "  " + FileNameAt(i) + "\r\n";
      FileClose(FileIdAt(i));
    }
  }
  if (!text.empty()) TraceText(text);
}

void RuntimeShutdown() {
  if (monDepth > 0)
    TraceText("Monitoring failure: " + FormatNumber(monDepth, 0) + " hanging processes.");
  ReportLeaks();
  std::string().swap(traceFileName);
  std::string().swap(lastExceptText);
  std::string().swap(currentFileName);
  for (MemEntry& e : MemTable) std::string().swap(e.Name);
}
