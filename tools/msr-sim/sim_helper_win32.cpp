// A DLL of the simulated reader's "service object", which its Open loads by bare name (the
// configuration line helper=zan_sim_helper.dll), as reader software loads its own DLLs from the
// folders on PATH. It does nothing; being found is all it is for.

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
