// The building blocks of install and uninstall: commands, folders, files, shortcuts,
// self-registration and the shared Quoll component. Each writes its own log lines.
#pragma once

#include <string>

// How long a command started with wait may run before the flow goes on.
constexpr unsigned long kCommandWaitMs = 180000;

// Starts a command line as a process (waiting for it when wait is true, at most
// kCommandWaitMs) and returns true. When no process can be made, hands the command to the
// shell and returns false. Raises SetupError when neither works.
bool ExecCommand(const std::string& command, bool wait);

// The file's full path in the Windows folder (the bare name when that folder is unknown), so
// that a program of the system is never taken from the current or the setup's own folder.
std::string WindowsFolderFile(const std::string& name);

// Starts the command through the desktop shell, with the signed-in user's normal rights, when
// this process runs elevated and the program it names exists; false when it did not (not
// elevated, no shell, or any step failed), and the caller starts it the usual way.
bool StartAsShellUser(const std::string& command);

bool FileExists(const std::string& path);       // an existing file, not a folder
// True when the folder is the root of a drive or share as written ("", "\", "C:", "C:\") or
// once resolved ("C:\a\..", "C:\.", "C:\\").
bool LeadsToRootFolder(const std::string& folder);
bool DirectoryExists(const std::string& path);  // an existing folder

// Creates the folder and its missing parents. Logs "Create Directory" at Skip, Success or Error.
bool CreateDirectoryLogged(const std::string& path);

// Copies a file over any existing one and clears the copy's read-only attribute. Logs
// "Copy File"; on failure logs the text with " Error <code>" and raises it.
bool CopyFileLogged(const std::string& source, const std::string& destination);

// Has the file deleted at the next start of the system; failures are ignored.
void DeleteFileAtReboot(const std::string& path);

// Initialises COM on this thread at its first use, for shell links, self-registration and the
// shell's start of a command; it is uninitialised when the program ends. A setup that needs
// none of them does not pay for loading COM.
void UseComApartment();

// Writes a shell link at shortcutPath that points at target.
bool CreateShortcut(const std::string& shortcutPath, const std::string& target);

// Calls the file's DllRegisterServer (or DllUnregisterServer); false when the file does not
// load or lacks the entry point.
bool CallSelfRegistration(const std::string& path, bool doRegister);

// The program file of the registered Quoll component; empty when none is registered.
std::string GetRegisteredQuollPath();

// The last dotted part of the file's Japanese FileVersion string (logged as "Build No");
// empty when the file has no such string.
std::string GetFileBuild(const std::string& path);

// Copies and registers the Quoll component when the offered build is newer than the
// registered one. Raises from the copy or the registration command.
void InstallQuollComponent(const std::string& source, const std::string& destination);

// The whole content of a file; false when it cannot be read.
bool ReadFileText(const std::string& path, std::string& text);
// Writes text as the whole content of a file; false on any failure.
bool WriteFileText(const std::string& path, const std::string& text);
