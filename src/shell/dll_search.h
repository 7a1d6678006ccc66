#pragma once
// Where the program's process looks for DLLs that are loaded by name.

namespace shell {

// The current folder is no longer searched for DLLs loaded by name (nor, by SearchPath, before
// Windows' own folders), so a DLL left in whatever folder the program was started from never
// runs. The rest of Windows' usual order stays, the folders on PATH among them: a card reader's
// software loads its own helper DLLs by name from there. Call it first thing.
void RestrictDllSearch();

}  // namespace shell
