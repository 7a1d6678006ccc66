#pragma once
// Where the program's process looks for DLLs that are loaded by name.

namespace shell {

// Only Windows' own folder is searched for DLLs loaded by name from now on (never the program's
// folder or the current one), so that a DLL planted beside the program, in a folder other users
// can write to, never runs at the cashier's log-on. DLLs loaded by full path (a reader control,
// as registered) are not affected. Call it first thing.
void RestrictDllSearch();

}  // namespace shell
