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

bool IsSilentStart(const StringList& arguments) {
    for (const std::string& argument : arguments) {
        if (mbcs::EqualsNoCase(argument, "/s")) return true;
    }
    return false;
}

std::string ResultPipeOf(const StringList& arguments) {
    for (std::size_t index = 0; index + 1 < arguments.size(); ++index) {
        const std::string& name = arguments[index + 1];
        if (mbcs::EqualsNoCase(arguments[index], "/s") && name.size() > kResultPipePrefix.size() &&
            name.compare(0, kResultPipePrefix.size(), kResultPipePrefix) == 0) {
            return name;
        }
    }
    return std::string();
}
