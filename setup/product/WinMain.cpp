// MewlarkSetup: resolves the shell folders, checks the user's rights and runs the engine once.
#include <windows.h>

#include "common/SystemLibraries.h"
#include "setup/engine/SetupError.h"
#include "setup/engine/SpecialDirs.h"
#include "setup/product/MewlarkInstaller.h"
#include "setup/script/StartKind.h"

namespace {

// Before every other static object, so that nothing loads a DLL from the setup's own folder.
const DllSearchRestriction dllSearchRestriction __attribute__((init_priority(101)));

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const SetupCommandLine commandLine = SetupCommandLine::OfProcess();
    // "/S": no box at all; the outcome is the exit code.
    const bool silent = IsSilentStart(commandLine.arguments);
    try {
        ResolveSpecialDirs();
    } catch (const SetupError& error) {
        if (silent) return ERROR_INSTALL_FAILURE;
        MessageBoxA(nullptr, error.what(), nullptr, MB_ICONERROR);
        return 0;
    }
    if (!HasAdminRights()) {
        if (silent) return ERROR_ACCESS_DENIED;
        MessageBoxA(nullptr,
                    "インストールに必要な権限がありません。\r\n管理者権限のユーザでログインしてインストールしてください。",
                    "エラー", MB_ICONINFORMATION);
        return 0;
    }
    try {
        return CreateInstaller<TInstaller>(commandLine)->Run();
    } catch (const std::exception& error) {
        // Only the hand-over of an uninstall lets an error out: neither way of starting the copy worked.
        if (silent) return ERROR_INSTALL_FAILURE;
        MessageBoxA(nullptr, error.what(), nullptr, MB_ICONERROR);
        return 1;
    }
}
