// SpiraRun: the program entry of Spiralux.scr and its handlers for saver mode
// and default mode.
//
// Start-up runs the media services first, then the screen-saver framework;
// shut-down runs their closing steps in the reverse order, the runtime's
// last. Every mode ends the program when its handler returns.
#include <windows.h>

#include "formats/FormatCatalog.h"
#include "platform/Launch.h"
#include "platform/Routines.h"
#include "platform/WinRoutines.h"
#include "runtime/Errors.h"
#include "saver/Common1.h"
#include "saver/SSaver.h"
#include "saver/wConfigWin32.h"

// Saver mode: the player from the installation folder, waited for; a
// missing folder is the one error the user is shown.
void StartPlayer(Qssaver*) {
  std::string folder = GetInstFolder();
  if (DirExists(folder))
    RunProgram(PlayerPathIn(folder), "", folder, False32, True32);
  else
    ErrorBox(MissingFolderText(folder));
}

// Default mode: this program file becomes the system's screen saver.
void MakeDefault(Qssaver*) { SaverMakeDefault(ProgramFilePath()); }

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MediaStartup();
  if (Qssaver* saver = SaverCreate(GetCommandLineA())) {
    SaverSetOnSaver(saver, StartPlayer);
    SaverSetOnConfigure(saver, ShowConfig);
    SaverSetOnDefault(saver, MakeDefault);
    SaverRun(saver);
    SaverFree(saver);
  }
  MediaShutdown();
  RuntimeShutdown();
  return 0;
}
