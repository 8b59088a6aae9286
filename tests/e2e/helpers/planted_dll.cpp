// A DLL planted under the name of a system DLL: when any process loads it, it leaves
// "<its own path>.loaded" beside itself, naming that process's program.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char marker[MAX_PATH + 8] = {};
    const DWORD length = GetModuleFileNameA(module, marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcpyA(marker + length, ".loaded");
    char program[MAX_PATH] = {};
    const DWORD programLength = GetModuleFileNameA(nullptr, program, MAX_PATH);
    const HANDLE file = CreateFileA(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return TRUE;
    DWORD written = 0;
    WriteFile(file, program, programLength, &written, nullptr);
    CloseHandle(file);
    return TRUE;
}
