// A program the setup tests start: appends its command line to a record file, sleeps, and
// then appends "done". Usage: setup_test_probe <record file> [sleep ms] [anything...]
// Built with a version block it stands in for the shared Quoll component: started with
// "/regserver" it registers itself as the local server of "QuollLibrary.Quoll" and appends
// its command line to "<this exe>.calls".
#include <windows.h>

#include <cstdlib>
#include <string>

#include "setup/script/ScriptText.h"

namespace {

void Append(const std::string& path, const std::string& line) {
    const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    const std::string text = line + "\r\n";
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const StringList arguments = SplitArguments(GetCommandLineA());
    if (arguments.size() < 2) return 2;
    if (arguments[1] == "/regserver") {
        const std::string classId = "{6D8F4E1C-5A43-4B7A-9C1E-2F7B3A9D0E11}";
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        RegSetValueA(HKEY_CLASSES_ROOT, "QuollLibrary.Quoll\\Clsid", REG_SZ, classId.c_str(), 0);
        RegSetValueA(HKEY_CLASSES_ROOT, ("CLSID\\" + classId + "\\LocalServer32").c_str(), REG_SZ, path, 0);
        Append(std::string(path) + ".calls", GetCommandLineA());
        return 0;
    }
    Append(arguments[1], GetCommandLineA());
    if (arguments.size() > 2) Sleep(static_cast<DWORD>(std::atoi(arguments[2].c_str())));
    Append(arguments[1], "done");
    return 0;
}
