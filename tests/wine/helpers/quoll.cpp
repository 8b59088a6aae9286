// A stand-in for the shared Quoll component: started with "/regserver" it registers itself
// as the local server of "QuollLibrary.Quoll". Every start appends its command line to
// "<this exe>.calls".
#include <windows.h>

#include <cstring>
#include <string>

namespace {

const char kClassId[] = "{6D8F4E1C-5A43-4B7A-9C1E-2F7B3A9D0E11}";

void WriteDefault(const std::string& keyPath, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string calls = std::string(path) + ".calls";
    const HANDLE file = CreateFileA(calls.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const std::string line = std::string(commandLine) + "\r\n";
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    if (std::strstr(commandLine, "/regserver") != nullptr) {
        WriteDefault("QuollLibrary.Quoll\\Clsid", kClassId);
        WriteDefault(std::string("CLSID\\") + kClassId + "\\LocalServer32", path);
    }
    return 0;
}
