// The platform media services beside the format catalogue: COM and the AVI
// file library, started once per process around the whole run of the
// program, in every mode. Win32 only (MediaServicesWin32.cpp).
#pragma once

// CoInitialize(NULL), then AVIFileInit of avifil32.dll, loaded from the
// system folder; their results are not examined, and without the library
// the AVI file services are simply not started.
void MediaStartup();
// AVIFileExit and the library released, then CoUninitialize.
void MediaShutdown();
