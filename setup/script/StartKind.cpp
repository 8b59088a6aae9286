#include "setup/script/StartKind.h"

#include "common/Mbcs.h"
#include "setup/script/PathText.h"

StartKind KindOfStart(const StringList& arguments, std::string_view exePath) {
    const std::string first = arguments.empty() ? std::string() : mbcs::ToLower(arguments[0]);
    if (first == "/ux") return StartKind::RelaunchedUninstall;
    if (first == "/u" || mbcs::ToLower(FileNameOf(exePath)) == "uninstall.exe") return StartKind::UninstallRequest;
    return StartKind::Install;
}

bool TakesScriptFromCommandLine(const StringList& arguments) { return !arguments.empty() && arguments[0] == "/ux"; }
