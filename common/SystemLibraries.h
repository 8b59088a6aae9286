// Where both programs take their DLLs from: the system folder only. The program's own folder
// (a Downloads folder, the temporary folder of an uninstall), the current folder and the PATH
// are writable by others, and a DLL planted there would run with the program's rights.
//
// Only DLLs that Windows protects as known DLLs (kernel32, user32, gdi32, advapi32, shell32,
// shlwapi, ole32, oleaut32, comdlg32, msvcrt, ...) are imported statically. The others
// (version, wininet, winmm) are delay-loaded: on the first call into one, the delay-load
// helper loads it by its full path in the system folder and writes the function's address into
// its import slot, which the linker may have made read-only.
#pragma once

// Restricts the process's DLL search to the system folder (SetDefaultDllDirectories where
// Windows has it; else at least the current folder leaves the search).
void RestrictDllSearchToSystemFolder();

// Restricts the search when constructed. A program defines one with init_priority(101), so
// that it runs before every other static constructor, none of which may load a DLL first.
struct DllSearchRestriction {
    DllSearchRestriction() { RestrictDllSearchToSystemFolder(); }
};
