// The setup engine: the script's start-up keys, the folders, the running-instance state and
// the operations the install and uninstall flows are made of.
#pragma once

#include <memory>
#include <string>

#include "setup/ScriptText.h"
#include "setup/Win32Handles.h"

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

// The script's lines; raises SetupError "ファイル <path> は開けません" when it cannot be read.
StringList LoadScriptLines(const std::string& path);

class TInstallerBase;
template <class Installer>
std::unique_ptr<Installer> CreateInstaller(const SetupCommandLine& commandLine);

class TInstallerBase {
public:
    TInstallerBase(const TInstallerBase&) = delete;
    TInstallerBase& operator=(const TInstallerBase&) = delete;
    virtual ~TInstallerBase();

    std::string ExpandMacros(const std::string& text) const;
    // Deletes the file, asking Retry or Cancel while it cannot; false only on Cancel.
    bool DeleteFileWithRetry(const std::string& path) const;

protected:
    // Reads the command line, the script's keys and lists and the folders. Completed by
    // CreateInstaller, which asks the virtual GetInstallDir and checks the running instance.
    explicit TInstallerBase(const SetupCommandLine& commandLine);

    virtual std::string GetInstallDir();                // slot 0
    virtual void DoInstall() = 0;                       // slot 1
    virtual void DoUninstall() = 0;                     // slot 2
    virtual int ConfirmInstall(bool prompt);            // slot 3
    virtual int ConfirmUninstall(bool prompt);          // slot 4
    virtual void ShowError(const std::string& message);    // slot 5
    virtual void ShowWarning(const std::string& message);  // slot 6

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
    StringList FInstallExec;
    StringList FUninstallExec;
    StringList FPreInstallExec;
    StringList FPreUninstallExec;

    // The arguments after the program path, as started.
    StringList FArguments;

private:
    template <class Installer>
    friend std::unique_ptr<Installer> CreateInstaller(const SetupCommandLine& commandLine);

    // The last construction steps: the installation folder, then the running-instance mutex.
    void CompleteConstruction();

    std::string ReadIniString(const char* section, const char* key) const;
    bool ReadIniBool(const char* section, const char* key, bool fallback) const;
    StringList ReadExecList(const char* section) const;

    // Owned from creation to destruction, never released: it marks this setup as running.
    KernelHandle FRunningMutex;
};

// Creates the engine object of class Installer and completes its construction.
template <class Installer>
std::unique_ptr<Installer> CreateInstaller(const SetupCommandLine& commandLine) {
    std::unique_ptr<Installer> installer(new Installer(commandLine));
    installer->CompleteConstruction();
    return installer;
}
