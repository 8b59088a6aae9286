// Commands of the script: started as processes, through the shell, or as the desktop's user.
#pragma once

#include <string>

// How long a command started with wait may run before the flow goes on.
constexpr unsigned long kCommandWaitMs = 180000;

// Starts a command line as a process (waiting for it when wait is true, at most
// kCommandWaitMs) and returns true. When no process can be made, hands the command to the
// shell and returns false. Raises SetupError when neither works.
bool ExecCommand(const std::string& command, bool wait);

// Starts the command through the desktop shell, with the signed-in user's normal rights, when
// this process runs elevated and the program it names exists; false when it did not (not
// elevated, no shell, or any step failed), and the caller starts it the usual way.
bool StartAsShellUser(const std::string& command);
