// SpiraRun: the program module of Spiralux.scr. Its handlers are installed
// into the screen-saver framework in the order StartPlayer, ShowConfig
// (wConfigWin32.h), PaintPreview, MakeDefault;
// SpiraRunProgram is the whole entry sequence, which WinMain
// (SpiraluxMainWin32.cpp) calls. Win32 only (SpiraRunWin32.cpp), in the saver
// library so that tools and tests can link the handlers.
#pragma once

#include "saver/SSaver.h"

// Saver mode: the player SpiraMain.exe from the installation folder (a
// folder of any name), started with that folder as its working directory
// and waited for; the player lives no longer than this program, however this
// program ends (RunAndWait's job). When the folder does not exist, the error
// box with MissingFolderText instead.
void StartPlayer(Qssaver* saver);
// Preview mode's paint handler: the built-in picture loaded, scaled in
// place to the preview's Width x Height and drawn into its DC at (0, 0),
// anew on every paint. The image is released also when a step fails; the
// error (for example "Out of range." from the scaler for a preview of width
// or height 0) then leaves the handler, which ends preview mode silently.
void PaintPreview(Qssaver* saver);
// Default mode: this program file becomes the system's screen saver
// (SaverMakeDefault of the running program's path).
void MakeDefault(Qssaver* saver);

// The entry sequence: the media services start, the framework's context is
// created for commandLine (the whole command line, the program's path
// included), the handlers installed, the mode run and the context freed;
// then the media services and the runtime shut down. A second copy of the
// program gets no context and only starts and stops the services. Returns
// the program's exit code, 0.
int SpiraRunProgram(const char* commandLine);
