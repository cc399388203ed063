// Small routines shared by the front end and the media library: the
// trailing backslash of a path, the linear range mapping behind the speed
// control, a two-way choice, the title of message boxes and the text that
// describes the exception being handled. Portable: Routines.cpp.
#pragma once

#include <cstdint>
#include <string>

// Appends a backslash unless the path is empty or already ends in one.
std::string AddBackslash(const std::string& path);

// Maps value from fromLow..fromHigh onto toFirst..toLast (which may run
// downwards) in 80-bit floating point, rounding half to even; values outside
// the source range are extrapolated. A zero source count throws
// std::domain_error ("Floating point division by zero"); a result outside
// the signed 32-bit range throws std::overflow_error ("Invalid floating
// point operation").
int32_t MapRange(int32_t value, int32_t fromLow, int32_t fromHigh, int32_t toFirst, int32_t toLast);

// a when flag is not 0, else b.
int32_t ChooseInt(int32_t flag, int32_t a, int32_t b);

// The title of message boxes: the module caption when it is not empty, else
// the application's title (see ApplicationTitleOf) of ProgramFilePath().
std::string AppTitle();
// The module caption is empty at start; the program itself never sets it.
void SetModuleCaption(const std::string& caption);
// The application's title for a program file: its name without folder and
// without extension (cut at the first '.'), every character after the first
// in lower case: C:\SAVERS\SAVER.SCR gives Saver.
std::string ApplicationTitleOf(const std::string& programPath);

// The description of the exception being handled (call it inside a catch
// handler), as ExceptionTextAt of runtime/System.h gives it for the code that
// called ExceptionText: "Exception <type> in module <module> at <address>."
// a line break, then the message with a closing "."; at most 1024 characters.
__attribute__((noinline)) std::string ExceptionText();
