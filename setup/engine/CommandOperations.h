// Commands of the script: started as processes, through the shell, or as the desktop's user.
#pragma once

#include <string>

#include "common/HandleOwners.h"

// How long a command started with wait may run before the flow goes on.
constexpr unsigned long kCommandWaitMs = 180000;

// The program file that a command line starts, found as CreateProcess finds it when given no
// application name: the quoted or first word, ".exe" added when it has no extension; a name
// without a folder looked for in this program's own folder, the current folder, the system
// folder, the Windows folder's "System" and the Windows folder, then the PATH folders. A path
// with a folder is made full and returned whether it exists or not; a name found nowhere gives "".
std::string ResolveProgram(const std::string& command);

// Starts a command line as a process of the given program file (waiting for it when wait is
// true, at most kCommandWaitMs) and returns true; an empty program starts nothing. When no
// process can be made, hands the command to the shell (the desktop shell, with its rights, when
// this process has more) and returns false. Raises SetupError when neither works.
bool ExecCommand(const std::string& command, bool wait, const std::string& program);
// ExecCommand with the program that the command names, resolved now.
bool ExecCommand(const std::string& command, bool wait);

// Starts the command without waiting, with the rights of the signed-in user's desktop shell and
// never more. Directly (ExecCommand) when this process has no more rights than the shell's
// process: not elevated, or both elevated (UAC off; Wine 8). When this process is elevated and
// the shell's is not (Wine 10 too): as a process with a copy of the shell's token, else
// through the shell.
// Returns 0 when started; else the system's error code of the last way tried, and nothing was
// started. Raises SetupError as ExecCommand does when the direct start fails.
unsigned long StartAsShellUser(const std::string& command);

// True when this process runs with an elevated token (never before Vista).
bool IsProcessElevated();

// While it lives, the thread acts with the rights of the signed-in user's unelevated token:
// when asked, when this process is elevated with a linked token (UAC's split token) and the
// desktop shell runs as the same user without elevation. Otherwise, and without UAC, with the
// process's own rights.
class UserRightsScope {
public:
    explicit UserRightsScope(bool wanted);
    ~UserRightsScope();
    UserRightsScope(const UserRightsScope&) = delete;
    UserRightsScope& operator=(const UserRightsScope&) = delete;

private:
    bool impersonating_ = false;
};

// Starts the command as a process of the program file only (no shell), not waiting; false
// when it did not start, the system's error code left for GetLastError. The process's handle
// goes to started when one is given.
bool StartProcess(const std::string& program, const std::string& command, KernelHandle* started = nullptr);
