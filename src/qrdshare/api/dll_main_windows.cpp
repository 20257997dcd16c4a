// The entry point that Windows calls when it maps qrdshare.dll into a process
// or removes it again.  Built into the DLL only.  The registry and its
// settings are set up by the library's own load-time initialiser, so there
// is nothing to do here per process or per thread.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
