// SSaver: the screen-saver framework. The context record Qssaver carries the
// command line, the window the mode works for, the preview window's state and
// the handler slots; SaverRun turns the command line into one call of a slot.
// Creating the context claims the instance guard; a second copy of the same
// program file gets no context and ends silently.
//
// Calling order: SaverCreate, the setters, SaverRun, SaverFree. This header
// is portable: the record, the setters, the parser, the instance name and the
// dispatch table. Creation, disposal, SaverRun, the preview window and the
// default registration are Win32 only, in SSaverWin32.h.
#pragma once

#include <cstdint>
#include <string>

// The system's window and device-context handle types (HWND, HDC).
struct HWND__;
struct HDC__;

struct Qssaver;
// A handler; an empty slot makes its mode do nothing.
using SaverHandler = void (*)(Qssaver* saver);

// One per process, zero-filled at creation.
struct Qssaver {
  std::string CommandLine;         // the whole command line, the program's path included
  HWND__* Window = nullptr;        // the window the mode works for, set by the dispatcher
  HWND__* PreviewWindow = nullptr; // the preview child window
  int32_t Width = 0;               // of the preview area
  int32_t Height = 0;
  HDC__* DC = nullptr;             // the device context of the paint in progress
  void* Guard = nullptr;           // the instance guard, held from SaverCreate to SaverFree
  SaverHandler OnSaver = nullptr;         // mode S
  SaverHandler OnPreviewStart = nullptr;  // once the preview window exists
  SaverHandler OnPaint = nullptr;         // mode P, on every paint of the preview
  SaverHandler OnPreviewStop = nullptr;   // after the preview loop has ended
  SaverHandler OnConfigure = nullptr;     // modes C and L
  SaverHandler OnPassword = nullptr;      // mode A
  SaverHandler OnDefault = nullptr;       // mode D
};

void SaverSetOnSaver(Qssaver* saver, SaverHandler handler);
void SaverSetOnPaint(Qssaver* saver, SaverHandler handler);
void SaverSetOnConfigure(Qssaver* saver, SaverHandler handler);
void SaverSetOnDefault(Qssaver* saver, SaverHandler handler);
// The screen-saver switch: the first '/' anywhere (else the first '-'), the
// letter after it upper-cased (ASCII only), then the first run of digits
// after the letter as an unsigned 32-bit handle that wraps. No switch, or a
// switch at the very end, gives the letter 'C'; no digits give handle 0.
void SaverParseArgs(const std::string& text, char& letter, uint32_t& handle);

// The guard's name for a program path: ASCII letters upper-cased, every
// character but 0-9, A-Z and '_' replaced by '_'.
std::string SaverInstanceNameOf(const std::string& programPath);
// The guard's name for the running program file.
std::string SaverInstanceName();

// What SaverRun (SSaverWin32.h) needs of the system, passed in so that the
// dispatch table runs anywhere.
struct SaverPlatform {
  HWND__* (*FindConfigOwner)();      // the "Display Properties" window, or null
  void (*RunPreview)(Qssaver* saver);  // the preview window and its loop
};
// Parses the context's command line and calls the mode's handler, with the
// given platform steps; returns when the handler returns. A nested call from
// inside a handler does nothing; every exception out of a handler is dropped.
void SaverDispatch(Qssaver* saver, const SaverPlatform& platform);

// Saver mode: the player's file name, its path in a folder, and the text of
// the box shown when the installation folder does not exist.
extern const char* const PlayerFileName;
std::string PlayerPathIn(const std::string& folder);
std::string MissingFolderText(const std::string& folder);
