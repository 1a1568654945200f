// The loader's notifications (process and thread attach and detach) need no work: the library
// has no state to set up or tear down.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
