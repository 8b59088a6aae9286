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
#include "setup/script/StartKind.h"

namespace {

// The prefix of the folders that elevated setups make for their uninstalling copies.
const char kCopyFolderPrefix[] = "hcSetup";

// The system's temporary folder, where an elevated setup makes the folder for its copy.
std::string SystemTempDir() { return WindowsFolderFile("Temp"); }

// How long a silent copy that has reported waits for the process that started it to end.
constexpr DWORD kStarterEndWaitMs = 60000;

// The silent hand-over's end of the pipe through which its copy reports: one instance, made
// by this process before any other can take the name, only local clients.
KernelHandle CreateResultPipe(const std::string& name) {
    return KernelHandle(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, sizeof(DWORD),
                                         0, nullptr));
}

// The exit code the copy reports through the pipe. A copy that ends without reporting (it
// refused to start, or failed) gives its own exit code, ERROR_INSTALL_FAILURE for a 0.
DWORD AwaitCopyResult(HANDLE pipe, HANDLE copy) {
    const KernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event.Get();
    DWORD transferred = 0;
    bool connected = ConnectNamedPipe(pipe, &overlapped) != FALSE || GetLastError() == ERROR_PIPE_CONNECTED;
    if (!connected && GetLastError() == ERROR_IO_PENDING) {
        const HANDLE waited[] = {event.Get(), copy};
        connected = WaitForMultipleObjects(2, waited, FALSE, INFINITE) == WAIT_OBJECT_0;
        if (!connected) CancelIo(pipe);
        connected = GetOverlappedResult(pipe, &overlapped, &transferred, TRUE) != FALSE && connected;
    }
    DWORD code = 0;
    if (connected) {
        ResetEvent(event.Get());
        const bool read = ReadFile(pipe, &code, sizeof(code), nullptr, &overlapped) != FALSE || GetLastError() == ERROR_IO_PENDING;
        if (read && GetOverlappedResult(pipe, &overlapped, &transferred, TRUE) && transferred == sizeof(code)) return code;
    }
    WaitForSingleObject(copy, INFINITE);
    code = ERROR_INSTALL_FAILURE;
    GetExitCodeProcess(copy, &code);
    return code == ERROR_SUCCESS ? ERROR_INSTALL_FAILURE : code;
}

}  // namespace

void TInstallerBase::RelaunchForUninstall() {
    // Elevated, the copy runs from a folder of its own that no process of the signed-in user can
    // change between the copy and its start; not elevated, there is no one to shield it from.
    // Silent, this process waits for the copy's result, which the copy hands over through a pipe
    // before it deletes this process's file.
    std::string pipeName;
    KernelHandle resultPipe;
    if (FSilent) {
        pipeName = std::string(kResultPipePrefix) + std::to_string(GetCurrentProcessId());
        resultPipe = CreateResultPipe(pipeName);
        if (!resultPipe) throw ExecError(GetLastError(), pipeName);
    }
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
    std::string command = "\"" + std::string(copy) + "\" \"/ux\" \"" + FSetupIni + "\"";
    if (FSilent) command += " /S \"" + pipeName + "\"";
    KernelHandle started;
    if (!StartProcess(copy, command, &started)) {
        const DWORD error = GetLastError();
        removeCopy(copy);
        throw ExecError(error, command);
    }
    // The copy has its own files now, and deletes the installed ones.
    FPackageFiles.Release();
    RegisterUninstallEntry(false);
    if (!FSilent) return;
    // The copy waits for this process to let go of the "UniqueName" mutex before it works.
    ReleaseMutex(FRunningMutex.Get());
    FExitCode = static_cast<int>(AwaitCopyResult(resultPipe.Get(), started.Get()));
}

void TInstallerBase::ReportToStarter() {
    if (FResultPipe.empty()) return;
    const KernelHandle pipe(CreateFileA(FResultPipe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    FResultPipe.clear();
    ULONG starterId = 0;
    if (!pipe || !GetNamedPipeServerProcessId(pipe.Get(), &starterId)) return;
    // Opened before the report, so that its id cannot name another process by then.
    const KernelHandle starter(OpenProcess(SYNCHRONIZE, FALSE, starterId));
    const DWORD code = static_cast<DWORD>(FExitCode);
    DWORD written = 0;
    WriteFile(pipe.Get(), &code, sizeof(code), &written, nullptr);
    if (starter) WaitForSingleObject(starter.Get(), kStarterEndWaitMs);
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
        FExitCode = ERROR_INSTALL_ALREADY_RUNNING;
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
            ShowBox(text, FProductTitle.c_str(), MB_ICONINFORMATION, IDOK);
        }
    } catch (const std::exception& error) {
        FExitCode = ERROR_INSTALL_FAILURE;
        ShowBox(error.what(), nullptr, MB_ICONERROR, IDOK);
        return false;
    }
    FExitCode = FFilesAwaitRestart ? ERROR_SUCCESS_REBOOT_REQUIRED : ERROR_SUCCESS;
    DeleteFileA(FSetupIni.c_str());
    // A silent first process runs uninstall.exe until it has the result.
    ReportToStarter();
    DeleteFileA((FBaseDir + "\\uninstall.exe").c_str());
    RemoveEmptyFolder(FolderOf(FSetupIni));
    return true;
}
