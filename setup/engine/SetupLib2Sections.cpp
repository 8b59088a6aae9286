// The line sections of the script at install and at uninstall.
#include "setup/engine/SetupLib2.h"

#include <windows.h>

#include "common/Mbcs.h"
#include "setup/engine/ComOperations.h"
#include "setup/engine/CommandOperations.h"
#include "setup/engine/FileOperations.h"
#include "setup/engine/RegistryKey.h"
#include "setup/engine/SetupError.h"
#include "setup/engine/SetupLog.h"
#include "setup/script/PathText.h"

namespace {

const char kUninstallCancelled[] = "アンインストールを中断しました";

HKEY RootNamed(const std::string& name) {
    if (name == "HKLM") return HKEY_LOCAL_MACHINE;
    if (name == "HKCU") return HKEY_CURRENT_USER;
    return nullptr;
}

bool IsSelfRegister(const StringList& fields) {
    return fields.size() > 2 && mbcs::EqualsNoCase(fields[2], "selfregister");
}

}  // namespace

void TInstallerBase::ProcessScript(const std::string& scriptPath, bool installing) {
    const StringList& lines = ScriptLines(scriptPath);
    // Without a folder of its own the product would spread over a drive's root, its
    // uninstaller overwriting and later deleting whatever files of those names are there.
    if (installing && LeadsToRootFolder(FInstallDir)) {
        throw SetupError("インストール先 \"" + FInstallDir + "\" にはインストールできません");
    }
    const SectionBody registry = FindSectionBody(lines, "[InstallRegistry]");
    if (registry.found) ProcessRegistrySection(registry.lines, installing);
    const SectionBody files = FindSectionBody(lines, "[InstallFiles]");
    if (files.found) ProcessFilesSection(files.lines, installing);
    if (installing) return;
    const SectionBody patterns = FindSectionBody(lines, "[UninstallFiles]");
    if (patterns.found) ProcessUninstallFilesSection(patterns.lines);
}

void TInstallerBase::ProcessRegistrySection(const StringList& lines, bool installing) {
    StringList fields;
    for (const std::string& line : lines) {
        SplitFields(line, 6, fields);
        if (fields.size() < 5 || (!fields[0].empty() && fields[0][0] == '#')) continue;
        std::string keyPath = fields[1];
        if (keyPath.empty() || keyPath[0] != '\\') keyPath.insert(0, "\\");
        const HKEY root = RootNamed(fields[0]);
        // An empty key path names the hive itself, which is no product's key.
        if (root == nullptr || RelativeKeyPath(keyPath).empty()) continue;
        if (installing) {
            WriteRegistryLine(root, keyPath, fields);
        } else {
            RemoveRegistryLine(root, keyPath, fields);
        }
    }
}

void TInstallerBase::WriteRegistryLine(HKEY root, const std::string& keyPath, const StringList& fields) {
    const std::string& name = fields[2];
    const std::string& type = fields[3];
    const std::string& data = fields[4];
    const SetupError refused("'" + name + "' の設定に失敗しました");
    // A key that can be neither opened nor made ends the install: its value goes nowhere else.
    RegistryKey key;
    if (!key.Create(root, keyPath, KEY_ALL_ACCESS)) throw refused;
    const std::string written = "Write Registry \"" + fields[0] + keyPath + "\",\"" + name + "\"=\"";
    if (type.empty()) {
        if (!key.WriteString(name.c_str(), data)) throw refused;
        WriteLog(LogLevel::Success, written + data + "\"");
    } else if (mbcs::ToLower(type) == "dword") {
        const int number = ParseDecimal(data, 0);
        if (!key.WriteDword(name.c_str(), static_cast<DWORD>(number))) throw refused;
        WriteLog(LogLevel::Success, written + std::to_string(number) + "\"");
    }
}

void TInstallerBase::RemoveRegistryLine(HKEY root, const std::string& keyPath, const StringList& fields) {
    const std::string action = fields.size() > 5 ? fields[5] : std::string();
    if (action != "u" && action != "eu") return;
    const std::string& name = fields[2];
    if (!name.empty()) {
        RegistryKey key;
        if (key.Open(root, keyPath, KEY_SET_VALUE)) key.DeleteValue(name.c_str());
    } else if (action == "u") {
        // An empty key path names the hive: that is refused there.
        DeleteKeyTree(root, keyPath);
    } else {
        RegistryKey key;
        bool removable = true;
        if (key.Open(root, keyPath, KEY_READ)) removable = key.HoldsOnlyDefaultValue();
        key.Close();
        if (removable) DeleteEmptyKey(root, keyPath);
    }
}

void TInstallerBase::ProcessFilesSection(const StringList& lines, bool installing) {
    StringList fields;
    std::string doneFolder;
    for (const std::string& line : lines) {
        SplitFields(line, 3, fields);
        if (fields.size() < 2) continue;
        const std::string source = PackageSource(fields[1]);
        if (installing) {
            InstallFileLine(source, ExpandMacros(fields[0]), fields);
        } else {
            RemoveFileLine(source, ExpandMacros(fields[0]), fields, doneFolder);
        }
    }
    if (!doneFolder.empty()) RemoveEmptyFolder(doneFolder);
}

void TInstallerBase::InstallFileLine(const std::string& source, std::string destination, const StringList& fields) {
    const std::string folder = WithoutTrailingBackslash(destination);
    // The user's own folders are reached with the user's rights: a link there leads nowhere else.
    const UserRightsScope userRights(InUsersOwnFolder(folder + "\\"));
    if (!DirectoryExists(folder)) CreateDirectoryLogged(folder);
    if (EndsWithBackslash(destination)) destination += FileNameOf(source);
    CopyFileLogged(FPackageFiles, source, destination);
    FInstalledBytes += FileSizeOf(destination);
    if (IsSelfRegister(fields)) {
        WriteLog(LogLevel::Info, "register " + destination);
        CallSelfRegistration(destination, true);
    } else if (fields.size() > 2) {
        const std::string shortcut = FProgramsDir + "\\" + fields[2];
        CreateDirectoryLogged(FolderOf(shortcut));
        const bool created = CreateShortcut(shortcut, destination);
        WriteLog(created ? LogLevel::Success : LogLevel::Error, "Create Shortcut \"" + shortcut + "\"");
    }
}

void TInstallerBase::RemoveFileLine(const std::string& source, std::string destination, const StringList& fields,
                                    std::string& doneFolder) {
    if (EndsWithBackslash(destination)) destination += FileNameOf(source);
    const std::string folder = FolderOf(destination);
    const bool shortcut = !IsSelfRegister(fields) && fields.size() > 2;
    // A folder that still holds the next line's file cannot go: trying once the lines leave
    // it removes the same folders as trying after every line, without a failing call per
    // file. A shortcut's prompt may stop the uninstall, so the folder goes before it.
    if (!doneFolder.empty() && (doneFolder != folder || shortcut)) RemoveEmptyFolder(doneFolder);
    doneFolder.clear();
    if (IsSelfRegister(fields)) {
        CallSelfRegistration(destination, false);
    } else if (shortcut) {
        const std::string shortcutPath = FProgramsDir + "\\" + fields[2];
        if (!DeleteFileWithRetry(shortcutPath)) throw SetupError(kUninstallCancelled);
        RemoveEmptyFolder(FolderOf(shortcutPath));
    }
    const UserRightsScope userRights(InUsersOwnFolder(destination));
    if (!DeleteFileWithRetry(destination)) throw SetupError(kUninstallCancelled);
    doneFolder = folder;
}

void TInstallerBase::ProcessUninstallFilesSection(const StringList& lines) {
    StringList fields;
    for (const std::string& line : lines) {
        SplitFields(line, 1, fields);
        const std::string pattern = ExpandMacros(fields[0]);
        if (pattern.empty()) continue;
        const std::string folder = FolderOf(pattern);
        // A macro that expanded to nothing, "..", "." or a doubled "\" can lead to a drive's
        // root: its files stay.
        if (LeadsToRootFolder(folder)) continue;

        StringList names;
        WIN32_FIND_DATAA found;
        const FindHandle search(FindFirstFileA(pattern.c_str(), &found));
        if (search.IsValid()) {
            do {
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(found.cFileName);
            } while (FindNextFileA(search.Get(), &found));
        }
        const UserRightsScope userRights(InUsersOwnFolder(pattern));
        for (const std::string& name : names) {
            if (!DeleteFileWithRetry(folder + "\\" + name)) throw SetupError(kUninstallCancelled);
        }
        RemoveEmptyFolder(folder);
    }
}

void TInstallerBase::RemoveEmptyFolder(const std::string& path) const {
    if (LeadsToRootFolder(path)) return;
    for (const std::string* shellFolder : {&FProgramsDir, &FAppDataDir, &FProgramFilesDir, &FTempDir}) {
        if (mbcs::EqualsNoCase(WithoutTrailingBackslash(path), WithoutTrailingBackslash(*shellFolder))) return;
    }
    // Silent, a folder that keeps a file waiting for the restart goes after it.
    if (!RemoveDirectoryA(path.c_str()) && FFilesAwaitRestart && DirectoryExists(path)) DeleteFolderAtReboot(path);
}
