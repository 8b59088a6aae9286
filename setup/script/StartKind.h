// What a start of the setup program asks for, read from its command line.
#pragma once

#include <string_view>

#include "setup/script/ScriptText.h"

enum class StartKind {
    Install,              // no switch: the setup beside its script
    UninstallRequest,     // "/u", or started as "uninstall.exe": confirm, then hand over
    RelaunchedUninstall,  // "/ux" (any case): the temporary copy that uninstalls
};

// arguments are those after the program path; the switch is compared in any case.
StartKind KindOfStart(const StringList& arguments, std::string_view exePath);

// True when the first argument is exactly "/ux": the script path is then the second argument.
bool TakesScriptFromCommandLine(const StringList& arguments);
