// A program the setup tests start: appends its command line to a record file, sleeps, and
// then appends "done". Usage: setup_test_probe <record file> [sleep ms] [anything...]
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
    Append(arguments[1], GetCommandLineA());
    if (arguments.size() > 2) Sleep(static_cast<DWORD>(std::atoi(arguments[2].c_str())));
    Append(arguments[1], "done");
    return 0;
}
