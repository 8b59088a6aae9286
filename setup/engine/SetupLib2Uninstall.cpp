// The uninstall in two processes: the hand-over to a temporary copy, and the copy's work.
#include "setup/engine/SetupLib2.h"

#include <windows.h>

#include "common/Mbcs.h"
#include "setup/engine/CommandOperations.h"
#include "setup/engine/FileOperations.h"
#include "setup/engine/RegistryKey.h"
#include "setup/engine/SetupError.h"
#include "setup/engine/SetupLog.h"
#include "setup/script/PathText.h"

namespace {

// The prefix of the folders that elevated setups make for their uninstalling copies.
const char kCopyFolderPrefix[] = "hcSetup";

// The system's temporary folder, where an elevated setup makes the folder for its copy.
std::string SystemTempDir() { return WindowsFolderFile("Temp"); }

}  // namespace

void TInstallerBase::RelaunchForUninstall() {
    // Elevated, the copy runs from a folder of its own that no process of the signed-in user can
    // change between the copy and its start; not elevated, there is no one to shield it from.
    std::string folder = FTempDir;
    const bool ownFolder = IsProcessElevated();
    if (ownFolder && !CreateAdminOnlyFolder(SystemTempDir(), kCopyFolderPrefix, folder)) {
        throw SetupError("Create Directory \"" + folder + "\" Error " + std::to_string(GetLastError()));
    }
    // The script as pinned goes beside the copy, where no process of the user can change it.
    const std::string script = folder + "\\setup.ini";
    const auto removeCopy = [&](const std::string& copy) {
        if (!copy.empty()) DeleteFileA(copy.c_str());
        if (ownFolder) DeleteFileA(script.c_str());
        if (ownFolder) RemoveDirectoryA(folder.c_str());
    };
    if (ownFolder) {
        try {
            WriteCopyLogged(FScriptText, FSetupIni, script);
        } catch (const SetupError&) {
            removeCopy(std::string());
            throw;
        }
    }
    char copy[MAX_PATH] = {};
    if (GetTempFileNameA(folder.c_str(), FileNameOf(FExePath).c_str(), 0, copy) == 0) {
        const std::string text =
            "Copy File \"" + FExePath + "\" to \"" + folder + "\" Error " + std::to_string(GetLastError());
        removeCopy(std::string());
        throw SetupError(text);
    }
    try {
        CopyFileLogged(FPackageFiles, FExePath, copy);
    } catch (const SetupError&) {
        removeCopy(copy);
        throw;
    }
    // Only a process, never the shell, which could start another program of that name.
    const std::string command = "\"" + std::string(copy) + "\" \"/ux\" \"" + FSetupIni + "\"";
    if (!StartProcess(copy, command)) {
        const DWORD error = GetLastError();
        removeCopy(copy);
        throw SetupError(std::to_string(error) + " ... Exec Error " + command);
    }
    // The copy has its own files now, and deletes the installed ones.
    FPackageFiles.Release();
    RegisterUninstallEntry(false);
}

bool TInstallerBase::RunsFromProtectedCopyFolder() const {
    const std::string folder = FolderOf(FExePath);
    return mbcs::EqualsNoCase(FolderOf(folder), SystemTempDir()) &&
           FileNameOf(folder).compare(0, sizeof(kCopyFolderPrefix) - 1, kCopyFolderPrefix) == 0 &&
           IsOwnAdminOnlyFolder(folder);
}

std::string TInstallerBase::ProtectedCopyScript() const { return FolderOf(FExePath) + "\\setup.ini"; }

bool TInstallerBase::MayUninstallWithScript() const {
    if (!IsProcessElevated()) return true;
    // Its script, or none: a missing one fails as the flow reports it.
    if (FProtectedCopy) return true;
    // The folder of the uninstaller that the product's entry starts: made by an elevated install.
    RegistryKey entry;
    if (FProductID.find_first_not_of('\\') == std::string::npos ||
        !entry.Open(HKEY_LOCAL_MACHINE, kUninstallList + FProductID, KEY_READ)) {
        return false;
    }
    const std::string uninstaller = ProgramOf(entry.ReadString("UninstallString"));
    return !uninstaller.empty() && mbcs::EqualsNoCase(FolderOf(uninstaller), FBaseDir);
}

void TInstallerBase::RemoveUninstallCopyAtReboot() const {
    if (FProtectedCopy) DeleteFileA(ProtectedCopyScript().c_str());
    DeleteFileAtReboot(FExePath);
    if (FProtectedCopy) DeleteFolderAtReboot(FolderOf(FExePath));
}

bool TInstallerBase::Uninstall() {
    if (FAlreadyRunning) {
        ShowWarning("\"" + FProductTitle + "\" が起動中のためアンインストールできません。\r\n\"" + FProductTitle +
                    "\" を終了させてもう一度実行してください。");
        return false;
    }
    try {
        BindLog(FLogPath);
        RunExecList(FPreUninstallExec);
        ProcessScript(FSetupIni, false);
        DoUninstall();
        RunExecList(FUninstallExec);
        if (FUninstallExec.empty()) {
            const std::string text = "\"" + FProductTitle + "\" のアンインストールが完了しました。";
            MessageBoxA(nullptr, text.c_str(), FProductTitle.c_str(), MB_ICONINFORMATION);
        }
    } catch (const std::exception& error) {
        MessageBoxA(nullptr, error.what(), nullptr, MB_ICONERROR);
        return false;
    }
    DeleteFileA((FBaseDir + "\\uninstall.exe").c_str());
    DeleteFileA(FSetupIni.c_str());
    RemoveEmptyFolder(FolderOf(FSetupIni));
    return true;
}
