// Errors: monitored sections, the error vocabulary and the diagnostic trace.
//
// Every library routine that can fail runs its body as a monitored section
// (MonRun below). An error is a (category, code) pair; recording one inside a
// section frees the tracked blocks and closes the tracked files obtained
// since the section began and raises EMon with the error's message, which
// climbs section by section to the first caller outside all sections. Any
// other exception escaping a body becomes category 3 on the way.
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

// The code of every captured foreign exception (category 3).
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
