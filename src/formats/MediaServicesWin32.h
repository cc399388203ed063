// The platform media services beside the format catalogue: COM and the AVI
// file library, started once per process around the whole run of the
// program, in every mode. Win32 only (MediaServicesWin32.cpp).
#pragma once

// CoInitialize(NULL), then AVIFileInit; their results are not examined.
void MediaStartup();
// AVIFileExit, then CoUninitialize.
void MediaShutdown();
