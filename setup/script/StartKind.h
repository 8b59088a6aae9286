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

// True when an argument is "/S" (any case): a run without any window, its outcome the exit code.
bool IsSilentStart(const StringList& arguments);

// The prefix of the pipe through which a silent uninstall's copy hands its exit code to the
// process that started it and waits for it.
constexpr std::string_view kResultPipePrefix = "\\\\.\\pipe\\MewlarkSetup.";

// In the relaunched copy's arguments, the result pipe named right after "/S"; empty when none
// is named or the name does not begin with kResultPipePrefix.
std::string ResultPipeOf(const StringList& arguments);
