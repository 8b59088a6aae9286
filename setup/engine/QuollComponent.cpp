#include "setup/engine/QuollComponent.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "setup/engine/CommandOperations.h"
#include "setup/engine/FileOperations.h"
#include "setup/engine/RegistryKey.h"
#include "setup/engine/SetupLog.h"
#include "setup/script/PathText.h"
#include "setup/script/ScriptText.h"

std::string GetRegisteredQuollPath() {
    RegistryKey name;
    if (!name.Open(HKEY_CLASSES_ROOT, "\\QuollLibrary.Quoll\\Clsid", KEY_READ)) return std::string();
    const std::string classId = Trim(name.ReadString(nullptr));
    if (classId.empty()) return std::string();
    RegistryKey server;
    if (!server.Open(HKEY_CLASSES_ROOT, "\\Clsid\\" + classId + "\\LocalServer32", KEY_READ)) return std::string();
    return server.ReadString(nullptr);
}

namespace {

// The Japanese FileVersion string of the file's version resource; empty when there is none.
std::string JapaneseFileVersion(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return std::string();
    void* value = nullptr;
    UINT length = 0;
    char query[] = "\\StringFileInfo\\041103A4\\FileVersion";
    if (!VerQueryValueA(data.data(), query, &value, &length) || value == nullptr || length == 0) return std::string();
    // Only what the query pointed at, and never past the block it was read from.
    const char* text = static_cast<const char*>(value);
    const char* begin = data.data();
    const char* end = begin + data.size();
    if (text < begin || text >= end) return std::string();
    const std::size_t available = static_cast<std::size_t>(end - text);
    return std::string(text, strnlen(text, length < available ? length : available));
}

}  // namespace

std::string GetFileBuild(const std::string& path) {
    const std::string build = LastDottedPart(JapaneseFileVersion(path));
    WriteLog(LogLevel::Info, "Build No: " + path + "(" + build + ")");
    return build;
}

void InstallQuollComponent(const PinnedFiles& pins, const std::string& source, const std::string& destination) {
    if (!FileExists(source)) return;
    const std::string current = GetRegisteredQuollPath();
    WriteLog(LogLevel::Info, "Current Quoll = \"" + current + "\".");

    int installed = 0;
    int offered = 1;
    if (FileExists(current)) {
        offered = ParseDecimal(GetFileBuild(source), 1);
        installed = ParseDecimal(GetFileBuild(current), 0);
    }
    if (installed >= offered) {
        WriteLog(LogLevel::Skip, "Copy Quoll.exe");
        return;
    }
    const std::string folder = FolderOf(destination);
    if (!DirectoryExists(folder)) CreateDirectoryLogged(folder);
    CopyFileLogged(pins, source, destination);
    ExecCommand("\"" + destination + "\" /regserver", true);
    WriteLog(LogLevel::Success, "Copy Quoll.exe");
}
