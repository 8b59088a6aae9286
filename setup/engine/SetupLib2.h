// The setup engine: the script's start-up keys, the folders, the running-instance state and
// the operations the install and uninstall flows are made of.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/HandleOwners.h"
#include "setup/engine/FileOperations.h"
#include "setup/script/ScriptText.h"

// How the process was started: the program file and the arguments after it.
struct SetupCommandLine {
    std::string exePath;
    StringList arguments;

    // The running process's own.
    static SetupCommandLine OfProcess();
};

// How long the relaunched uninstall waits for the process that started it to let go of the
// "UniqueName" mutex before it takes the product for running.
constexpr unsigned long kParentReleaseWaitMs = 5000;

// The system's list of installed programs, below HKEY_LOCAL_MACHINE; a product's key is its id.
constexpr char kUninstallList[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class TInstallerBase;
template <class Installer>
std::unique_ptr<Installer> CreateInstaller(const SetupCommandLine& commandLine);

class TInstallerBase {
public:
    TInstallerBase(const TInstallerBase&) = delete;
    TInstallerBase& operator=(const TInstallerBase&) = delete;
    virtual ~TInstallerBase();

    // Install, hand over to an uninstalling copy, or uninstall, as the command line says.
    // Returns the process's exit code: 0 unless silent ("/S"), then ERROR_SUCCESS,
    // ERROR_SUCCESS_REBOOT_REQUIRED (product files wait for a restart), ERROR_INSTALL_FAILURE
    // or ERROR_INSTALL_ALREADY_RUNNING.
    int Run();

    // The whole installation from the script; every outcome is shown to the user.
    void Install();
    // The uninstall in the relaunched copy; true when it completed. When it did not, the
    // caller lists the product for uninstall again.
    bool Uninstall();
    // Starts a temporary copy of this program with "/ux" and the script's path, as a process
    // only; when elevated, from a new folder only administrators and the system can change.
    // Raises SetupError when the folder, the copy or the start fails (and removes both).
    void RelaunchForUninstall();
    // Places the script and this program as "uninstall.exe" in the installation folder and
    // lists the product as installed.
    void CopyUninstaller();
    // Writes (true) or deletes (false) the product's key in the system's uninstall list.
    void RegisterUninstallEntry(bool doRegister);
    // Runs the commands in order, each by the program file it named when the run started
    // (PinPackage); one starting with "&" is not waited for, one starting with "?" is skipped
    // when its program file does not exist; a "?" before anything but a quoted absolute path
    // with an extension raises an error.
    void RunExecList(const StringList& list);
    // The script's registry, files and (uninstalling) file-pattern sections, in that order.
    void ProcessScript(const std::string& scriptPath, bool installing);

    // Starts the command, not waiting, with the rights of the user's desktop shell and never
    // more (StartAsShellUser); raises the error of a command that cannot start when it cannot.
    void StartForUser(const std::string& command);

    std::string ExpandMacros(const std::string& text) const;
    // Deletes the file, asking Retry or Cancel while it cannot; false only on Cancel. Silent, a
    // file that stays is deleted at the next restart instead (false when that cannot be set up).
    bool DeleteFileWithRetry(const std::string& path) const;

protected:
    // Reads the command line, the script's keys and lists and the folders. Completed by
    // CreateInstaller, which asks the virtual GetInstallDir and checks the running instance.
    explicit TInstallerBase(const SetupCommandLine& commandLine);

    // The steps a product's installer may change.
    // The installation folder: the script's "InstallDir" with its macros expanded.
    virtual std::string GetInstallDir();
    // The product's own step of the install, after the script's sections.
    virtual void DoInstall() = 0;
    // The product's own step of the uninstall, after the script's sections.
    virtual void DoUninstall() = 0;
    // IDYES lets the flow go on; without prompt, IDYES at once.
    virtual int ConfirmInstall(bool prompt);
    virtual int ConfirmUninstall(bool prompt);
    // An error box, then the setup log in notepad, started as the user's desktop shell's user.
    virtual void ShowError(const std::string& message);
    virtual void ShowWarning(const std::string& message);
    // Every box of the engine: silent, none is shown and silentAnswer is returned.
    int ShowBox(const std::string& text, const char* caption, unsigned type, int silentAnswer) const;

    std::string FExePath;
    std::string FSetupIni;
    std::string FBaseDir;
    std::string FTempDir;
    std::string FAppDataDir;
    std::string FProgramFilesDir;
    std::string FProgramsDir;
    std::string FLogPath;
    std::string FInstallDir;
    bool FAlreadyRunning = false;
    std::string FProductID;
    std::string FProductTitle;
    std::string FInstallDirTemplate;
    bool FInstallPrompt = true;
    bool FUninstallPrompt = true;
    bool FInstallQuoll = false;
    std::string FUniqueName;
    std::string FStart;
    // Optional values of the uninstall entry, with macros expanded when it is written.
    std::string FDisplayVersion;
    std::string FPublisher;
    std::string FDisplayIcon;
    StringList FInstallExec;
    StringList FUninstallExec;
    StringList FPreInstallExec;
    StringList FPreUninstallExec;

    // The arguments after the program path, as started.
    StringList FArguments;
    // "/S": no box, no question, no "Start"; the outcome is only the exit code.
    bool FSilent = false;
    // What Run returns; set where a flow's outcome is decided.
    int FExitCode = 0;
    // Silent uninstall: files of the product that could not be deleted wait for the next restart.
    mutable bool FFilesAwaitRestart = false;

private:
    template <class Installer>
    friend std::unique_ptr<Installer> CreateInstaller(const SetupCommandLine& commandLine);

    // The last construction steps: the installation folder, the commands' programs, then the
    // running-instance mutex.
    void CompleteConstruction();
    // True when the path lies in the user's own temporary or application-data folder.
    bool InUsersOwnFolder(const std::string& path) const;

    // Before the first step of an install or an uninstall request: holds the script, this
    // program's file and (installing) every source file that the script and the component name,
    // and every command's program in the package's folder (PinnedFiles); resolves the program
    // of every command once.
    void PinPackage(bool installing);
    // The program file that a command of the script starts, as resolved by PinPackage.
    std::string ProgramOfCommand(const std::string& command) const;
    // The source file of an "[InstallFiles]" line's second field, in the package's folder.
    std::string PackageSource(const std::string& field) const;

    // True when this process runs from a folder that an elevated setup made for its copy: in
    // the system's temporary folder, of the copies' name, changeable by administrators only.
    bool RunsFromProtectedCopyFolder() const;
    // The script that an elevated setup placed beside the copy it started.
    std::string ProtectedCopyScript() const;
    // Whether the relaunched uninstall may run on its script: always without elevation; when
    // elevated, only on a script that no process of normal rights can change (the one beside a
    // protected copy, or the one in the folder that the product's uninstall entry names).
    bool MayUninstallWithScript() const;
    // The relaunched copy's file, and the folder of its own an elevated setup made for it (and
    // the script placed there), go at the next start of the system.
    void RemoveUninstallCopyAtReboot() const;
    // Silent copy: hands FExitCode to the first process through the pipe it named, then waits
    // for that process to end, so that its file can go. Once; nothing without a pipe.
    void ReportToStarter();
    void ProcessRegistrySection(const StringList& lines, bool installing);
    void WriteRegistryLine(HKEY root, const std::string& keyPath, const StringList& fields);
    void RemoveRegistryLine(HKEY root, const std::string& keyPath, const StringList& fields);
    void ProcessFilesSection(const StringList& lines, bool installing);
    void InstallFileLine(const std::string& source, std::string destination, const StringList& fields);
    // doneFolder: the folder of the line before, whose removal waits until the lines leave it.
    void RemoveFileLine(const std::string& source, std::string destination, const StringList& fields,
                        std::string& doneFolder);
    void ProcessUninstallFilesSection(const StringList& lines);
    // Removes the folder when it is empty, but never a drive's root or a shell folder.
    void RemoveEmptyFolder(const std::string& path) const;

    // The script's lines as read at the start; raises SetupError "ファイル <path> は開けません"
    // when it could not be read then, or for another path.
    const StringList& ScriptLines(const std::string& path) const;
    std::string ReadIniString(const char* section, const char* key) const;
    bool ReadIniBool(const char* section, const char* key, bool fallback) const;
    StringList ReadExecList(const char* section) const;

    // The script as read once at the start, whole and as lines.
    bool FScriptRead = false;
    std::string FScriptText;
    StringList FScriptLines;

    // Owned from creation to destruction, never released (but by a silent hand-over, which
    // waits for its copy): it marks this setup as running.
    KernelHandle FRunningMutex;

    // Set at construction: RunsFromProtectedCopyFolder.
    bool FProtectedCopy = false;
    // The package's files, held from PinPackage until the run ends (or the copy started).
    PinnedFiles FPackageFiles;
    // The program file of each command of the script, as PinPackage resolved it.
    std::vector<std::pair<std::string, std::string>> FCommandPrograms;
    // The silent copy's pipe to the process that started it; empty once reported.
    std::string FResultPipe;
    // Bytes of the files this install copied: the entry's "EstimatedSize".
    unsigned long long FInstalledBytes = 0;
};

// Creates the engine object of class Installer and completes its construction.
template <class Installer>
std::unique_ptr<Installer> CreateInstaller(const SetupCommandLine& commandLine) {
    std::unique_ptr<Installer> installer(new Installer(commandLine));
    installer->CompleteConstruction();
    return installer;
}
