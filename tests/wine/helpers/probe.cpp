// A program the setup tests start: appends its command line to a record file, sleeps, and
// then appends "done". Usage: setup_test_probe <record file> [sleep ms] [anything...]
// "attack <record file>": as a program of the user while a setup runs from the probe's folder,
// tries to change the files there (recording "kept" or "changed" for each), then renames the
// folder and refills it with forged files of the same names and a forged "mwprobe.exe".
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

// The attempts of a program of the user on the package that a setup runs from.
int Attack(const std::string& record) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string self = path;
    const std::string folder = self.substr(0, self.rfind('\\'));
    const auto attempt = [&](const std::string& what, bool changed) { Append(record, what + (changed ? " changed" : " kept")); };
    const HANDLE script = CreateFileA((folder + "\\setup.ini").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    attempt("write setup.ini", script != INVALID_HANDLE_VALUE);
    if (script != INVALID_HANDLE_VALUE) CloseHandle(script);
    const std::string source = folder + "\\server.dll";
    attempt("overwrite server.dll", CopyFileA(self.c_str(), source.c_str(), FALSE) != FALSE);
    attempt("rename server.dll", MoveFileA(source.c_str(), (source + ".old").c_str()) != FALSE);
    const std::string setup = folder + "\\MewlarkSetup.exe";
    attempt("rename MewlarkSetup.exe", MoveFileA(setup.c_str(), (setup + ".old").c_str()) != FALSE);
    // Windows refuses to rename a folder with open files; Wine lets it go.
    if (MoveFileA(folder.c_str(), (folder + ".old").c_str()) && CreateDirectoryA(folder.c_str(), nullptr)) {
        for (const char* name : {"\\setup.ini", "\\server.dll", "\\probe.exe", "\\MewlarkSetup.exe", "\\mwprobe.exe"}) {
            const HANDLE forged = CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD written = 0;
            WriteFile(forged, "forged", 6, &written, nullptr);
            CloseHandle(forged);
        }
    }
    Append(record, "done");
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const StringList arguments = SplitArguments(GetCommandLineA());
    if (arguments.size() < 2) return 2;
    if (arguments[1] == "attack" && arguments.size() > 2) return Attack(arguments[2]);
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
