// A COM server for the self-registration tests: each entry point appends its name to the
// file named by SETUP_TEST_CALLS, or else to "<this dll>.calls".
#include <windows.h>

#include <string>

namespace {

HMODULE g_module = nullptr;

HRESULT Record(const char* call) {
    char path[MAX_PATH] = {};
    std::string calls;
    if (GetEnvironmentVariableA("SETUP_TEST_CALLS", path, MAX_PATH) > 0) {
        calls = path;
    } else {
        GetModuleFileNameA(g_module, path, MAX_PATH);
        calls = std::string(path) + ".calls";
    }
    const HANDLE file = CreateFileA(calls.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return E_FAIL;
    const std::string line = std::string(call) + "\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return S_OK;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return Record("register"); }
extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return Record("unregister"); }
