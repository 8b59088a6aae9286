#include "setup/engine/SpecialDirs.h"

#include <windows.h>

#include "setup/engine/RegistryKey.h"
#include "setup/engine/SetupError.h"
#include "setup/script/PathText.h"

namespace {

const char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kUserShellFolders[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kCurrentVersion[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

struct SpecialFolders {
    std::string programs;
    std::string appData;
    std::string programFiles;
};

SpecialFolders& Folders() {
    static SpecialFolders folders;
    return folders;
}

// The value read from a key opened for reading; empty when the key or value is missing.
std::string ReadValue(HKEY root, const char* path, const char* name) {
    RegistryKey key;
    if (!key.Open(root, path, KEY_READ)) return std::string();
    return key.ReadString(name);
}

}  // namespace

void ResolveSpecialDirs() {
    SpecialFolders resolved;

    resolved.programs = ReadValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs");
    if (resolved.programs.empty()) resolved.programs = ReadValue(HKEY_CURRENT_USER, kShellFolders, "Programs");
    if (resolved.programs.empty()) throw SetupError("ProgramMenuDirの取得に失敗");

    RegistryKey user;
    if (!user.Open(HKEY_CURRENT_USER, kUserShellFolders, KEY_READ)) throw SetupError("AppDataの取得に失敗");
    resolved.appData = user.ReadString("AppData");

    RegistryKey machine;
    if (!machine.Open(HKEY_LOCAL_MACHINE, kCurrentVersion, KEY_READ)) {
        throw SetupError("ProgramFilesDirの取得に失敗");
    }
    resolved.programFiles = machine.ReadString("ProgramFilesDir");

    Folders() = resolved;
}

std::string ProgramsDir() { return Folders().programs; }
std::string AppDataDir() { return Folders().appData; }
std::string ProgramFilesDir() { return Folders().programFiles; }

std::string TempDir() {
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, buffer);
    if (length == 0 || length > MAX_PATH) return std::string();
    return WithoutTrailingBackslash(buffer);
}
