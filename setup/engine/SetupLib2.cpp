#include "setup/engine/SetupLib2.h"

#include <windows.h>

#include "common/Mbcs.h"
#include "setup/engine/CommandOperations.h"
#include "setup/engine/FileOperations.h"
#include "setup/engine/RegistryKey.h"
#include "setup/engine/SetupError.h"
#include "setup/engine/SpecialDirs.h"
#include "setup/script/PathText.h"
#include "setup/script/StartKind.h"

SetupCommandLine SetupCommandLine::OfProcess() {
    SetupCommandLine commandLine;
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) commandLine.exePath = path;
    commandLine.arguments = SplitArguments(GetCommandLineA());
    // The first argument names the program; the module's own path replaces it.
    if (!commandLine.arguments.empty()) commandLine.arguments.erase(commandLine.arguments.begin());
    return commandLine;
}

const StringList& TInstallerBase::ScriptLines(const std::string& path) const {
    if (!FScriptRead || path != FSetupIni) throw SetupError("ファイル " + path + " は開けません");
    return FScriptLines;
}

TInstallerBase::TInstallerBase(const SetupCommandLine& commandLine) : FArguments(commandLine.arguments) {
    FExePath = commandLine.exePath;
    FSilent = IsSilentStart(FArguments);
    if (TakesScriptFromCommandLine(FArguments)) {
        // The relaunched copy keeps no folder of the installation open.
        SetCurrentDirectoryA(FolderOf(FExePath).c_str());
        FSetupIni = FArguments.size() > 1 ? FArguments[1] : std::string();
        FBaseDir = FolderOf(FSetupIni);
        FResultPipe = ResultPipeOf(FArguments);
    } else {
        FBaseDir = FolderOf(FExePath);
        FSetupIni = FBaseDir + "\\setup.ini";
    }

    // Read once: the script's folder may be open to processes of the user, who must not change
    // what this setup, maybe elevated, does after it started. Every later read and the
    // installed copy come from here. An elevated setup's copy reads the one its starter placed
    // beside it; the path it was given still names the installed product's.
    FProtectedCopy = TakesScriptFromCommandLine(FArguments) && RunsFromProtectedCopyFolder();
    FScriptRead = ReadFileText(FProtectedCopy ? ProtectedCopyScript() : FSetupIni, FScriptText);
    FScriptLines = SplitLines(FScriptText);

    FProductID = ReadIniString("init", "ProductID");
    FProductTitle = ReadIniString("init", "ProductTitle");
    FInstallDirTemplate = ReadIniString("init", "InstallDir");
    FInstallQuoll = ReadIniBool("init", "InstallQuoll", false);
    FInstallPrompt = ReadIniBool("init", "InstallPrompt", true);
    FUninstallPrompt = ReadIniBool("init", "UninstallPrompt", true);
    FUniqueName = ReadIniString("init", "UniqueName");
    FStart = ReadIniString("init", "Start");
    FDisplayVersion = ReadIniString("init", "DisplayVersion");
    FPublisher = ReadIniString("init", "Publisher");
    FDisplayIcon = ReadIniString("init", "DisplayIcon");

    FInstallExec = ReadExecList("InstallExec");
    FUninstallExec = ReadExecList("UninstallExec");
    FPreInstallExec = ReadExecList("PreInstallExec");
    FPreUninstallExec = ReadExecList("PreUninstallExec");

    FTempDir = TempDir();
    FLogPath = FTempDir + "\\hcSetup.log";
    FAppDataDir = AppDataDir();
    FProgramFilesDir = ProgramFilesDir();
    FProgramsDir = ProgramsDir();
}

TInstallerBase::~TInstallerBase() = default;

void TInstallerBase::CompleteConstruction() {
    // "%InstallDir%" in the template still expands to nothing here.
    FInstallDir = GetInstallDir();
    // Once, at the start: a program put into a folder of the search later is never run.
    for (const StringList* list : {&FPreInstallExec, &FInstallExec, &FPreUninstallExec, &FUninstallExec}) {
        for (const std::string& entry : *list) {
            const std::string command = ParseExecEntry(ExpandMacros(entry)).command;
            FCommandPrograms.emplace_back(command, ResolveProgram(command));
        }
    }

    // A mutex of that name that this process may not open (another's, with an access list that
    // shuts it out) marks another setup as surely as one it can open.
    const HANDLE mutex = CreateMutexA(nullptr, TRUE, FUniqueName.empty() ? nullptr : FUniqueName.c_str());
    FAlreadyRunning = mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS;
    FRunningMutex.Reset(mutex);
    if (FAlreadyRunning && KindOfStart(FArguments, FExePath) == StartKind::RelaunchedUninstall) {
        // The process that started this copy holds the mutex until it ends: wait for it to
        // let go. A running product keeps holding it.
        const DWORD waited = WaitForSingleObject(FRunningMutex.Get(), kParentReleaseWaitMs);
        FAlreadyRunning = waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED;
    }
}

int TInstallerBase::Run() {
    const StartKind kind = KindOfStart(FArguments, FExePath);
    if (kind != StartKind::RelaunchedUninstall) PinPackage(kind == StartKind::Install);
    switch (kind) {
        case StartKind::RelaunchedUninstall: {
            if (!MayUninstallWithScript()) {
                FExitCode = ERROR_INSTALL_FAILURE;
                ShowBox("ファイル " + FSetupIni + " はアンインストールに使用できません", nullptr, MB_ICONERROR, IDOK);
                ReportToStarter();
                break;
            }
            const bool completed = Uninstall();
            if (!completed) RegisterUninstallEntry(true);
            ReportToStarter();
            // A copy of its own has done its work either way; elsewhere this may be the installed
            // uninstaller, which stays as long as the product does.
            if (completed || FProtectedCopy) RemoveUninstallCopyAtReboot();
            break;
        }
        case StartKind::UninstallRequest:
            if (ConfirmUninstall(FUninstallPrompt) == IDYES) RelaunchForUninstall();
            break;
        case StartKind::Install:
            if (ConfirmInstall(FInstallPrompt) == IDYES) Install();
            break;
    }
    return FExitCode;
}

void TInstallerBase::PinPackage(bool installing) {
    FPackageFiles.Pin(FSetupIni);
    FPackageFiles.Pin(FExePath);
    if (!installing) return;
    if (FInstallQuoll) FPackageFiles.Pin(FBaseDir + "\\Quoll.exe");
    const SectionBody files = FindSectionBody(FScriptLines, "[InstallFiles]");
    StringList fields;
    for (const std::string& line : files.lines) {
        SplitFields(line, 3, fields);
        if (fields.size() >= 2) FPackageFiles.Pin(PackageSource(fields[1]));
    }
    for (const auto& command : FCommandPrograms) {
        if (!command.second.empty() && mbcs::EqualsNoCase(FolderOf(command.second), FBaseDir)) {
            FPackageFiles.Pin(command.second);
        }
    }
}

std::string TInstallerBase::ProgramOfCommand(const std::string& command) const {
    for (const auto& resolved : FCommandPrograms) {
        if (resolved.first == command) return resolved.second;
    }
    return ResolveProgram(command);
}

std::string TInstallerBase::PackageSource(const std::string& field) const { return FBaseDir + "\\" + field; }

bool TInstallerBase::InUsersOwnFolder(const std::string& path) const {
    for (const std::string* folder : {&FTempDir, &FAppDataDir}) {
        const std::string prefix = WithoutTrailingBackslash(*folder) + "\\";
        if (!folder->empty() && path.size() > prefix.size() && mbcs::EqualsNoCase(path.substr(0, prefix.size()), prefix)) {
            return true;
        }
    }
    return false;
}

std::string TInstallerBase::ReadIniString(const char* section, const char* key) const {
    // As the profile reader does with a buffer of 512 characters.
    return ProfileString(FScriptLines, section, key, 511);
}

bool TInstallerBase::ReadIniBool(const char* section, const char* key, bool fallback) const {
    return ParseIniBool(ReadIniString(section, key), fallback);
}

StringList TInstallerBase::ReadExecList(const char* section) const {
    StringList commands;
    for (int number = 0; number <= 9; ++number) {
        const std::string key = "Exec" + std::to_string(number);
        std::string command = Trim(ReadIniString(section, key.c_str()));
        if (!command.empty()) commands.push_back(std::move(command));
    }
    return commands;
}

std::string TInstallerBase::ExpandMacros(const std::string& text) const {
    return ::ExpandMacros(text, MacroValues{FInstallDir, FProgramFilesDir, FAppDataDir, FBaseDir});
}

bool TInstallerBase::DeleteFileWithRetry(const std::string& path) const {
    while (!DeleteFileA(path.c_str()) && FileExists(path)) {
        if (FSilent) return FFilesAwaitRestart = DeleteFileAtReboot(path);
        const std::string text =
            path + " を削除できません。\r\n\"" + FProductTitle + "\" を使用中の場合は終了させてください。";
        if (ShowBox(text, "削除", MB_RETRYCANCEL | MB_ICONWARNING, IDCANCEL) != IDRETRY) return false;
    }
    return true;
}

std::string TInstallerBase::GetInstallDir() { return ExpandMacros(FInstallDirTemplate); }

int TInstallerBase::ConfirmInstall(bool prompt) {
    if (!prompt) return IDYES;
    const std::string caption = FProductTitle + " インストーラ";
    const std::string text = "\"" + FProductTitle + "\" のインストールを開始します。\r\nよろしいですか？";
    return ShowBox(text, caption.c_str(), MB_YESNO | MB_ICONQUESTION, IDYES);
}

int TInstallerBase::ConfirmUninstall(bool prompt) {
    if (!prompt) return IDYES;
    const std::string caption = FProductTitle + " アンインストーラ";
    const std::string text = "\"" + FProductTitle + "\" のアンインストールを開始します。\r\nよろしいですか？";
    return ShowBox(text, caption.c_str(), MB_YESNO | MB_ICONQUESTION, IDYES);
}

void TInstallerBase::ShowError(const std::string& message) {
    if (FSilent) return;
    ShowBox(message, nullptr, MB_ICONERROR, IDOK);
    try {
        StartForUser("\"" + WindowsFolderFile("notepad.exe") + "\" \"" + FLogPath + "\"");
    } catch (const SetupError&) {
        // The error has been shown; a log that cannot be opened adds nothing to report.
    }
}

void TInstallerBase::ShowWarning(const std::string& message) { ShowBox(message, nullptr, MB_ICONWARNING, IDOK); }

int TInstallerBase::ShowBox(const std::string& text, const char* caption, unsigned type, int silentAnswer) const {
    if (FSilent) return silentAnswer;
    return MessageBoxA(nullptr, text.c_str(), caption, type);
}
