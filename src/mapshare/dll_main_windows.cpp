// The entry point that Windows calls when it maps mapshare.dll into a process
// or removes it again.  Built into the DLL only.
//
// The system calls it while holding its loader lock, so it does only work
// that can never wait for another thread: no file access, no locks of ours.
#include "file_registry.h"
#include "info_records.h"
#include "last_error.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        // The library starts with no message, an empty registry and its
        // information record ready for the first ns_GetLibraryInfo.  A
        // process attach always meets fresh static objects, so the registry
        // created here has every slot free.
        mapshare::clearLastError();
        mapshare::registry();
        mapshare::libraryInfo();
    }
    // On detach nothing is released here: the C++ runtime destroys the
    // registry (and with it any file a host left open) when this call has
    // returned.
    return TRUE;
}
