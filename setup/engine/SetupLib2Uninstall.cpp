// The uninstall in two processes: the hand-over to a temporary copy, and the copy's work.
#include "setup/engine/SetupLib2.h"

#include <windows.h>

#include "setup/engine/CommandOperations.h"
#include "setup/engine/FileOperations.h"
#include "setup/engine/SetupLog.h"
#include "setup/script/PathText.h"

void TInstallerBase::RelaunchForUninstall() {
    char copy[MAX_PATH] = {};
    GetTempFileNameA(FTempDir.c_str(), FileNameOf(FExePath).c_str(), 0, copy);
    CopyFileA(FExePath.c_str(), copy, FALSE);
    // Only a copy started as a process takes the entry over; the shell's start leaves it.
    if (ExecCommand("\"" + std::string(copy) + "\" \"/ux\" \"" + FSetupIni + "\"", false)) {
        RegisterUninstallEntry(false);
    }
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
    DeleteFileAtReboot(FExePath);
    DeleteFileA((FBaseDir + "\\uninstall.exe").c_str());
    DeleteFileA(FSetupIni.c_str());
    RemoveEmptyFolder(FolderOf(FSetupIni));
    return true;
}
