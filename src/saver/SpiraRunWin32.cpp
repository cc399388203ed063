// SpiraRun: the entry sequence of Spiralux.scr and its handlers for saver
// mode, preview mode and default mode.
//
// Start-up runs the media services first, then the screen-saver framework;
// shut-down runs their closing steps in the reverse order, the runtime's
// last. Every mode ends the program when its handler returns.
#include "saver/SpiraRunWin32.h"

#include "assets/BuiltInPicture.h"
#include "formats/MediaServicesWin32.h"
#include "image/DrawWin32.h"
#include "image/Load.h"
#include "image/Scale.h"
#include "platform/LaunchWin32.h"
#include "platform/RoutinesWin32.h"
#include "runtime/Errors.h"
#include "runtime/System.h"
#include "platform/Common1Win32.h"
#include "saver/SSaverWin32.h"
#include "saver/wConfigWin32.h"

void StartPlayer(Qssaver*) {
  std::string folder = GetInstFolder();
  if (DirExists(folder))
    RunProgram(PlayerPathIn(folder), "", folder, False32, True32);
  else
    ErrorBox(MissingFolderText(folder));
}

void PaintPreview(Qssaver* saver) {
  ScopedImage image;
  ImgLoadFromMemory(BuiltInPicture, BuiltInPictureBytes, image);
  ImgScale(image, image, saver->Width, saver->Height);
  ImgDraw(image, saver->DC, 0, 0);
}

void MakeDefault(Qssaver*) { SaverMakeDefault(ProgramFilePath()); }

int SpiraRunProgram(const char* commandLine) {
  MediaStartup();
  if (Qssaver* saver = SaverCreate(commandLine)) {
    SaverSetOnSaver(saver, StartPlayer);
    SaverSetOnConfigure(saver, ShowConfig);
    SaverSetOnPaint(saver, PaintPreview);
    SaverSetOnDefault(saver, MakeDefault);
    SaverRun(saver);
    SaverFree(saver);
  }
  MediaShutdown();
  RuntimeShutdown();
  return 0;
}
