// Errors: monitored sections, the error vocabulary and the diagnostic trace.
//
// Every library routine that can fail runs its body as a monitored section
// (MonRun below). An error is a (category, code) pair; recording one inside a
// section frees the tracked blocks and closes the tracked files obtained
// since the section began and raises EMon with the error's message, which
// climbs section by section to the first caller outside all sections. Any
// other exception escaping a body becomes category 3 on the way. Every pair
// has its name in the error table below, beside ErrorText.
//
// The trace is a text file of error reports and shut-down reports. It is off:
// nothing in the system turns it on, and while it is off nothing is written
// and no file is opened.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "runtime/Basic.h"

struct ErrorPair {
  int32_t Category;
  int32_t Code;
  bool operator==(const ErrorPair& o) const { return Category == o.Category && Code == o.Code; }
};

// No error: a zero category or code (LastError() when nothing failed).
constexpr ErrorPair ErrNone = {0, 0};
// The code of every captured foreign exception (category 3, ErrExcept).
constexpr int32_t ExceptCode = 2147483647;

// The library's exception: carries the message of the error that ended a
// monitored section (empty when raised by MonFail).
class EMon : public std::exception {
 public:
  explicit EMon(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// ------------------------------------------------------ monitored sections

constexpr int32_t MonStackSize = 256;

struct MonFrame {
  int32_t MemMark;   // MemCount() when the section opened
  int32_t FileMark;  // FileCount() when the section opened
  Bool32 Failed;     // its error was raised, an exception captured, or MonFail
  int32_t Category;  // 0 = none
  int32_t Code;      // 0 = none
};

// Opens a section. The 257th nested one is fatal: FatalMessage, the
// shut-down steps, and the process ends.
void MonEnter();
// Captures the active exception into the current section; call it from the
// section's catch-all handler. The framework's own EMon is recognised (an
// error is already recorded, or the section has failed) and left alone.
void MonExcept();
// Closes the current section; raises EMon when it failed with an error.
void MonLeave();
// Records an error (a zero category or code clears LastError) and raises
// EMon at once when a section is open and has not failed yet.
void MonSetError(int32_t category, int32_t code);
inline void MonSetError(ErrorPair e) { MonSetError(e.Category, e.Code); }
// The raising step of MonSetError: cleans up, marks the top frame failed and
// raises EMon with the error's message.
void MonRaise(int32_t category, int32_t code);
// Frees the blocks and closes the files obtained since the current section
// began; never raises.
void MonCleanup();
// Leaves the current section early without an error: the section's handler
// absorbs the EMon it raises and its caller sees nothing.
[[noreturn]] void MonFail();
// Records a warning (traced with "?"); never raises.
void MonWarn(int32_t category, int32_t code);
inline void MonWarn(ErrorPair e) { MonWarn(e.Category, e.Code); }

int32_t MonDepth();
const MonFrame& MonTop();  // the current frame; only while MonDepth() > 0
ErrorPair LastError();
ErrorPair LastWarning();
bool MonPaused();
bool ErrorsMuted();

// Runs body as a monitored section: enter, the body inside a catch-all whose
// handler calls MonExcept, leave (which raises EMon when the body failed).
template <class Body>
void MonRun(Body&& body) {
  MonEnter();
  try {
    body();
  } catch (...) {
    MonExcept();
  }
  MonLeave();
}

// The modal "Error" box for fatal framework errors. The host build has no
// box: it calls the hook a test installs, else writes to standard error.
void FatalMessage(const std::string& text);
using FatalMessageHook = void (*)(const std::string& text);
void SetFatalMessageHook(FatalMessageHook hook);

// ------------------------------------------------------ error vocabulary

// The one-line English message of an error pair.
std::string ErrorText(int32_t category, int32_t code);
inline std::string ErrorText(ErrorPair e) { return ErrorText(e.Category, e.Code); }

// Every error pair by name, beside the messages ErrorText gives them
// (Errors.cpp holds the texts in the same order; MessagesTest checks that
// each name reads its message). A category's codes not listed here read as
// the category's own message, given with the category. A routine that
// returns a bare code returns the Code of one of these pairs.

// Categories 1 to 3 read as LastExceptText(); the system raises only 3, for
// every captured foreign exception, with the code ExceptCode.
constexpr int32_t ErrCatExcept = 3;
constexpr ErrorPair ErrExcept = {ErrCatExcept, ExceptCode};

// General errors; other codes: General "GEN" error.
constexpr int32_t ErrCatGeneral = 4;
constexpr ErrorPair
    ErrOutOfRange = {ErrCatGeneral, 1},           // Out of range.
    ErrNotSupported = {ErrCatGeneral, 2},         // Not supported.
    ErrInvalidVariableType = {ErrCatGeneral, 3};  // Invalid variable type.

// Memory; other codes: General memory fault.
constexpr int32_t ErrCatMemory = 5;
constexpr ErrorPair
    ErrMemAllocFault = {ErrCatMemory, 1},      // Memory allocation fault.
    ErrMemManagerFault = {ErrCatMemory, 2},    // Memory manager fault.
    ErrMemReallocFault = {ErrCatMemory, 3},    // Memory reallocation fault.
    ErrMemCannotFree = {ErrCatMemory, 4},      // Memory could not be deallocated.
    ErrMemInvalidRequest = {ErrCatMemory, 5},  // Invalid memory request.
    ErrMemFatal = {ErrCatMemory, 6};           // Fatal memory manager error.

// Files, a message ending in ": " followed by CurrentFileName(); other
// codes: General file handling fault.
constexpr int32_t ErrCatFile = 6;
constexpr ErrorPair
    ErrFileCannotOpen = {ErrCatFile, 1},     // Cannot open file: <file name>
    ErrFileCannotCreate = {ErrCatFile, 2},   // Cannot create file: <file name>
    ErrFileCannotRead = {ErrCatFile, 3},     // Cannot read from file.
    ErrFileCannotWrite = {ErrCatFile, 4},    // Cannot write to file.
    ErrFileCannotSeek = {ErrCatFile, 5},     // Cannot seek in file.
    ErrFileCannotDelete = {ErrCatFile, 6},   // Cannot delete file: <file name>
    ErrFileCannotAppend = {ErrCatFile, 7},   // Cannot append to file: <file name>
    ErrFileCannotClose = {ErrCatFile, 8},    // Cannot close file.
    ErrFileNotExist = {ErrCatFile, 9},       // File not exist.
    ErrFileRenameFailed = {ErrCatFile, 10},  // File name change failed.
    ErrFileFatal = {ErrCatFile, 11};         // Fatal file manager fault.

// Images; other codes: General image handling fault.
constexpr int32_t ErrCatImage = 7;
constexpr ErrorPair
    ErrImgNotSupported = {ErrCatImage, 1},           // Image format not supported.
    ErrImgInvalidFormat = {ErrCatImage, 2},          // Invalid image format.
    ErrImgCannotDecompress = {ErrCatImage, 3},       // Cannot decompress image data.
    ErrImgHeaderInvalid = {ErrCatImage, 4},          // Image header invalid.
    ErrImgCannotCompress = {ErrCatImage, 5},         // Cannot compress image data.
    ErrImgCannotInitFunction = {ErrCatImage, 6},     // Cannot initialize image function.
    ErrImgCannotInitCompression = {ErrCatImage, 7},  // Cannot initialize image compression data.
    ErrImgCannotOpen = {ErrCatImage, 8},             // Cannot open image file.
    ErrImgDataCorrupted = {ErrCatImage, 9},          // Image data corrupted.
    ErrImgCannotRealizePalette = {ErrCatImage, 10},  // Cannot realize palette.
    ErrImgCannotCreate = {ErrCatImage, 11};          // Cannot create image file.

// Audio; other codes: General audio handling fault.
constexpr int32_t ErrCatAudio = 8;
constexpr ErrorPair
    ErrAudioConversion = {ErrCatAudio, 1},      // Audio conversion error.
    ErrAudioConversionAcm = {ErrCatAudio, 2},   // Audio conversion error (ACM).
    ErrAudioConversionWave = {ErrCatAudio, 3},  // Audio conversion error (WAVE).
    ErrAudioInvalidFormat = {ErrCatAudio, 4};   // Invalid audio format.

// AVI files; other codes: General AVI handling fault.
constexpr int32_t ErrCatAvi = 9;
constexpr ErrorPair
    ErrAviCannotRead = {ErrCatAvi, 1},          // Cannot read from AVI file.
    ErrAviCannotWrite = {ErrCatAvi, 2},         // Cannot write to AVI file.
    ErrAviCannotReadAudio = {ErrCatAvi, 3},     // Cannot read audio data from AVI file.
    ErrAviCannotWriteAudio = {ErrCatAvi, 4},    // Cannot write audio data to AVI file.
    ErrAviCannotOpen = {ErrCatAvi, 5},          // Cannot open AVI file.
    ErrAviCannotCreate = {ErrCatAvi, 6},        // Cannot create AVI file.
    ErrAviCannotInitCodec = {ErrCatAvi, 7},     // Cannot initialize AVI codec.
    // AVI audio stream not valid (decompressor not found?), ignoring audio
    ErrAviAudioStreamInvalid = {ErrCatAvi, 8};

// Movies; category 14 (ErrCatMvi) has the same messages; other codes: General "MVI" handling fault.
constexpr int32_t ErrCatMovie = 12;
constexpr int32_t ErrCatMvi = 14;
constexpr ErrorPair
    ErrMovieInvalidFormat = {ErrCatMovie, 1},     // Invalid movie format.
    ErrMovieCannotWrite = {ErrCatMovie, 2},       // Cannot write to movie file.
    ErrMovieCannotDecompress = {ErrCatMovie, 3},  // Cannot decompress movie image data.
    ErrMovieCannotCompress = {ErrCatMovie, 4},    // Cannot compress movie image data.
    ErrMovieNotSupported = {ErrCatMovie, 5},      // Movie format not supported.
    ErrMovieCannotOpen = {ErrCatMovie, 6},        // Cannot open movie file.
    ErrMovieEnd = {ErrCatMovie, 7},               // End of movie reached.
    ErrMovieCannotCreate = {ErrCatMovie, 8};      // Cannot create movie file.

// WAV files; other codes: general "WAV" handling fault.
constexpr int32_t ErrCatWav = 13;
constexpr ErrorPair
    ErrWavCannotOpen = {ErrCatWav, 1},    // Cannot open WAV file.
    ErrWavCannotCreate = {ErrCatWav, 2},  // Cannot create WAV file.
    ErrWavCannotRead = {ErrCatWav, 3},    // Cannot read from WAV file.
    ErrWavCannotWrite = {ErrCatWav, 4},   // Cannot write to WAV file.
    ErrWavCannotSeek = {ErrCatWav, 5};    // Cannot seek in WAV file.

// HAV movies; other codes: General "HAV" handling fault.
constexpr int32_t ErrCatHav = 15;
constexpr ErrorPair
    ErrHavEnd = {ErrCatHav, 1};  // End of HAV movie reached.

// UNI protocol; other codes: General "UNI" handling fault.
constexpr int32_t ErrCatUni = 16;
constexpr ErrorPair
    ErrUniProtocol = {ErrCatUni, 1};  // UNI protocol fault.

// FLIC movies; other codes: General "FLIC" handling fault.
constexpr int32_t ErrCatFlic = 17;
constexpr ErrorPair
    ErrFlicEnd = {ErrCatFlic, 1};  // End of FLIC movie reached.

// The code of these categories is the failing system call's own result,
// shown as a number after the text.
constexpr int32_t ErrCatAviSystem = 10;  // AVI subsystem malfunction: <code>
constexpr int32_t ErrCatVfw = 11;        // Video For Windows malfunction: <code>
constexpr int32_t ErrCatAcm = 19;        // Fatal error in Audio Compression Manager: <code>
constexpr int32_t ErrCatWinMm = 20;      // Fatal error in Win-MM: <code>
// Any other category reads as "Undefined error: <category>:<code>".

// The name of the file last opened as a tracked text file.
const std::string& CurrentFileName();
void SetCurrentFileName(const std::string& name);
// The description of the last exception captured by a section: the message
// of categories 1 to 3.
const std::string& LastExceptText();

// ------------------------------------------------------ trace and reports

bool TraceEnabled();
// Appends one line to the trace file, which must already exist.
void TraceLine(const std::string& text);
// Appends a text of one or more CR LF separated lines, each prefixed "#".
void TraceText(const std::string& text);
// "Error: " and the description of the exception being handled, then the
// section path; call it inside an exception handler.
void TraceException();
// The section-name path of error reports: no section records a name, so it
// is always empty.
std::string TracePath();
// The report of one error (mark "!") or warning (mark "?").
void TraceError(char mark, int32_t category, int32_t code);
void ReportMemory();
void ReportDrive(const std::string& path);
// Lists and frees the blocks still tracked, lists and closes the files still
// open.
void ReportLeaks();
// The closing steps of the runtime, once at the end of the program: hanging
// sections, the leak report, then the runtime's texts are released.
void RuntimeShutdown();

// For the test suites only: the system itself never switches the trace on.
void TraceSwitchForTests(bool enabled, const std::string& fileName);
