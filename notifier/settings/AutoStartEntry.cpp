#include "notifier/settings/AutoStartEntry.h"

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "notifier/settings/SettingsStore.h"

namespace {

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kProgramName = "Mewlark.exe";

// Mewlark.exe in the folder of the running program file, whatever that file is called.
std::string ProgramPathBesideRunningFile() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    PathRemoveFileSpecA(path);  // steps over double-byte characters
    return std::string(path) + "\\" + kProgramName;
}

}  // namespace

void WriteAutoStartEntry(bool enable) {
    if (enable) {
        // A program path that does not fit the buffer would be written cut off: write nothing.
        const std::string program = ProgramPathBesideRunningFile();
        if (program.empty()) return;
        const RegistryKeyHandle run = CreateSettingsKey(HKEY_CURRENT_USER, kRunKey);
        if (!run) return;
        const std::string command = "\"" + program + "\"";
        RegSetValueExA(run.Get(), kProgramName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1));
    } else if (const RegistryKeyHandle run = CreateSettingsKey(HKEY_CURRENT_USER, kRunKey)) {
        RegDeleteValueA(run.Get(), kProgramName);
    }
}
