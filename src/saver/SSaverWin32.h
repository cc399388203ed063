// SSaver, the system side (Win32 only: SSaverWin32.cpp and, for the preview
// window, SSaverPreviewWin32.cpp): creating and freeing the context with the
// instance guard, SaverRun with the system's steps, the preview window and
// its loop, and the default registration. The record and the dispatch table
// are portable, in SSaver.h.
#pragma once

#include <windows.h>

#include <string>

#include "saver/SSaver.h"

// A new context with a copy of commandLine, the instance guard claimed; null
// when another copy holds the guard or anything fails (nothing is shown). A
// guard that cannot be created goes unnoticed: the run goes on without one.
Qssaver* SaverCreate(const std::string& commandLine);
// SaverDispatch with the system's steps: the "Display Properties" window as
// the owner of the configuration, SaverPreview as the preview.
void SaverRun(Qssaver* saver);
// Releases the context's instance guard and the context; sets saver to null.
// Null is accepted.
void SaverFree(Qssaver*& saver);

// Registers path as the system's screen saver: its short form as
// SCRNSAVE.EXE of the boot section of system.ini (skipped when the short form
// cannot be had), then the screen saver switched on.
void SaverMakeDefault(const std::string& path);

// Preview mode to its end: registers the preview class, covers Window with a
// child window, runs the message loop, unregisters the class. Ends at once
// when Window names no window. An exception out of OnPaint ends the loop and
// leaves this routine after the loop.
void SaverPreview(Qssaver* saver);
// The preview window's procedure: WM_PAINT calls OnPaint with DC set (black
// fill when the slot is empty); WM_CLOSE and WM_DESTROY end the loop.
LRESULT CALLBACK SaverPreviewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
