#include "common/SystemLibraries.h"

#include <windows.h>
#include <delayimp.h>

#include <cstring>

namespace {

// Windows 8 and later, and Windows 7 with its loader update.
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// Called by the delay-load helper before it loads a DLL by its bare name: the DLL is taken from
// the system folder by its full path, its own dependencies from there too. Returning null lets
// the helper load it by name, which the restricted search also keeps to the system folder.
FARPROC WINAPI LoadDelayedFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary) return nullptr;
    char path[MAX_PATH] = {};
    const UINT folderLength = GetSystemDirectoryA(path, MAX_PATH);
    const std::size_t nameLength = std::strlen(info->szDll);
    if (folderLength == 0 || folderLength + 1 + nameLength >= MAX_PATH) return nullptr;
    path[folderLength] = '\\';
    std::memcpy(path + folderLength + 1, info->szDll, nameLength + 1);
    return reinterpret_cast<FARPROC>(LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

// One resolution at a time, so that one thread cannot protect a slot's page again while
// another is about to write its own slot there.
SRWLOCK delayedSlotsLock = SRWLOCK_INIT;

}  // namespace

extern "C" {
// The delay-load helper's notification hook (a variable the helper reads by this name).
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedFromSystemFolder;

// The helper of the C runtime, which writes the resolved address into the slot.
FARPROC WINAPI __real___delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* slot);

// Every delay-loaded call resolves here first (the link wraps the runtime's helper). The slots
// lie in the import section, which newer linkers make read-only as Microsoft's linker does:
// the slot's page is writable only while the helper writes it, then protected as before.
FARPROC WINAPI __wrap___delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* slot) {
    AcquireSRWLockExclusive(&delayedSlotsLock);
    DWORD protection = 0;
    const bool unprotected = VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection) != 0;
    const FARPROC function = __real___delayLoadHelper2(descriptor, slot);
    if (unprotected) VirtualProtect(slot, sizeof *slot, protection, &protection);
    ReleaseSRWLockExclusive(&delayedSlotsLock);
    return function;
}
}

void RestrictDllSearchToSystemFolder() {
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories != nullptr && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // Older systems keep the program's folder in the search; the current folder at least goes.
    SetDllDirectoryA("");
}
