// A COM server for the self-registration tests: each entry point appends its name to the
// file named by SETUP_TEST_CALLS.
#include <windows.h>

#include <string>

namespace {

HRESULT Record(const char* call) {
    char calls[MAX_PATH] = {};
    GetEnvironmentVariableA("SETUP_TEST_CALLS", calls, MAX_PATH);
    const HANDLE file = CreateFileA(calls, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return E_FAIL;
    const std::string line = std::string(call) + "\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return S_OK;
}

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return Record("register"); }
extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return Record("unregister"); }
