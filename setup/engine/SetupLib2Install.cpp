// The install: component, commands, script sections, uninstaller and uninstall entry.
#include "setup/engine/SetupLib2.h"

#include <windows.h>

#include "setup/engine/CommandOperations.h"
#include "setup/engine/FileOperations.h"
#include "setup/engine/QuollComponent.h"
#include "setup/engine/RegistryKey.h"
#include "setup/engine/SetupError.h"
#include "setup/engine/SetupLog.h"

void TInstallerBase::Install() {
    if (FAlreadyRunning) {
        FExitCode = ERROR_INSTALL_ALREADY_RUNNING;
        ShowWarning("\"" + FProductTitle + "\" が起動中のためインストールできません。\r\n\"" + FProductTitle +
                    "\" を終了させてもう一度実行してください。");
        return;
    }
    BindLog(FLogPath);
    OpenLog();
    WriteLog(LogLevel::Info, "start setup");
    try {
        if (FInstallQuoll) {
            InstallQuollComponent(FPackageFiles, FBaseDir + "\\Quoll.exe",
                                  FProgramFilesDir + "\\Common Files\\HALCYONE Shared\\Quoll\\Quoll.exe");
        }
        RunExecList(FPreInstallExec);
        ProcessScript(FSetupIni, true);
        DoInstall();
        CopyUninstaller();
        RunExecList(FInstallExec);
        if (!FStart.empty()) {
            const std::string text = "インストールが完了しました。\r\n\"" + FProductTitle + "\" を今すぐ起動しますか？";
            if (ShowBox(text, FProductTitle.c_str(), MB_YESNO | MB_ICONINFORMATION, IDNO) == IDYES) {
                StartForUser(ExpandMacros(FStart));
            }
        } else if (FInstallExec.empty()) {
            const std::string text = "\"" + FProductTitle + "\" のインストールが完了しました。";
            ShowBox(text, FProductTitle.c_str(), MB_ICONINFORMATION, IDOK);
        }
    } catch (const std::exception& error) {
        FExitCode = ERROR_INSTALL_FAILURE;
        WriteLog(LogLevel::Info, "Exception \"" + std::string(error.what()) + "\"");
        ShowError("インストール中にエラーが発生しました。\r\n再起動してインストールをやり直すか、何度もエラーが発生する場合は\r\n" +
                  FLogPath + " の内容を添付してメールでご連絡ください。");
    }
}

void TInstallerBase::RunExecList(const StringList& list) {
    for (const std::string& entry : list) {
        const std::string expanded = ExpandMacros(entry);
        const ExecEntry exec = ParseExecEntry(expanded);
        if (exec.onlyIfProgramExists) {
            // Checking another file than the one started would run what the check missed.
            const std::string program = CheckableProgram(exec.command);
            if (program.empty()) throw ExecError(ERROR_BAD_PATHNAME, expanded);
            if (!FileExists(program)) continue;
        }
        ExecCommand(exec.command, !exec.detached, ProgramOfCommand(exec.command));
    }
}

void TInstallerBase::StartForUser(const std::string& command) {
    // Never with this setup's administrator rights: the Start-menu shortcut remains.
    const unsigned long error = StartAsShellUser(command);
    if (error != ERROR_SUCCESS) throw ExecError(error, command);
}

void TInstallerBase::CopyUninstaller() {
    try {
        // The script as read at the start, not as the package's folder holds it now.
        WriteCopyLogged(FScriptText, FBaseDir + "\\setup.ini", FInstallDir + "\\setup.ini");
        CopyFileLogged(FPackageFiles, FExePath, FInstallDir + "\\uninstall.exe");
        FInstalledBytes += FScriptText.size() + FileSizeOf(FInstallDir + "\\uninstall.exe");
    } catch (const SetupError&) {
        throw SetupError("アンインストーラのコピーでエラーが発生しました");
    }
    RegisterUninstallEntry(true);
}

void TInstallerBase::RegisterUninstallEntry(bool doRegister) {
    // Without a product id the key would be the uninstall list itself, which holds the
    // entries of every installed program.
    if (FProductID.find_first_not_of('\\') == std::string::npos) return;
    const std::string path = kUninstallList + FProductID;
    if (!doRegister) {
        DeleteKeyTree(HKEY_LOCAL_MACHINE, path);
        return;
    }
    RegistryKey key;
    if (!key.Create(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS)) return;
    const std::string uninstall = "\"" + FInstallDir + "\\uninstall.exe\" /u";
    key.WriteString("DisplayName", FProductTitle);
    key.WriteString("UninstallString", uninstall);
    // What the system's list of programs shows besides the name, and how it can run the
    // uninstall unattended. Without an install in this run (an uninstall that did not
    // complete puts the entry back), the size is what the installation folder still holds.
    if (FInstalledBytes == 0 && !LeadsToRootFolder(FInstallDir)) FInstalledBytes = FolderSizeOf(FInstallDir);
    key.WriteString("QuietUninstallString", uninstall + " /S");
    key.WriteString("InstallLocation", FInstallDir);
    for (const auto& [name, value] : {std::pair{"DisplayVersion", &FDisplayVersion}, std::pair{"Publisher", &FPublisher},
                                      std::pair{"DisplayIcon", &FDisplayIcon}}) {
        if (!value->empty()) key.WriteString(name, ExpandMacros(*value));
    }
    if (FInstalledBytes > 0) key.WriteDword("EstimatedSize", static_cast<DWORD>((FInstalledBytes + 1023) / 1024));
    key.WriteDword("NoModify", 1);
    key.WriteDword("NoRepair", 1);
}
