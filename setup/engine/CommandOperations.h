// Commands of the script: started as processes, through the shell, or as the desktop's user.
#pragma once

#include <string>

#include "common/HandleOwners.h"

// How long a command started with wait may run before the flow goes on.
constexpr unsigned long kCommandWaitMs = 180000;

// Starts a command line as a process (waiting for it when wait is true, at most
// kCommandWaitMs) and returns true. When no process can be made, hands the command to the
// shell and returns false. Raises SetupError when neither works.
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

// Starts the command as a process only (no shell), not waiting; false when it did not start,
// the system's error code left for GetLastError. The process's handle goes to started when one
// is given.
bool StartProcess(const std::string& command, KernelHandle* started = nullptr);
