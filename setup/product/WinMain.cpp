// MewlarkSetup: resolves the shell folders, checks the user's rights and runs the engine once.
#include <windows.h>

#include "common/SystemLibraries.h"
#include "setup/engine/SetupError.h"
#include "setup/engine/SpecialDirs.h"
#include "setup/product/MewlarkInstaller.h"

namespace {

// Before every other static object, so that nothing loads a DLL from the setup's own folder.
const DllSearchRestriction dllSearchRestriction __attribute__((init_priority(101)));

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        ResolveSpecialDirs();
    } catch (const SetupError& error) {
        MessageBoxA(nullptr, error.what(), nullptr, MB_ICONERROR);
        return 0;
    }
    if (!HasAdminRights()) {
        MessageBoxA(nullptr,
                    "インストールに必要な権限がありません。\r\n管理者権限のユーザでログインしてインストールしてください。",
                    "エラー", MB_ICONINFORMATION);
        return 0;
    }
    try {
        CreateInstaller<TInstaller>(SetupCommandLine::OfProcess())->Run();
    } catch (const std::exception& error) {
        // Only the hand-over of an uninstall lets an error out: neither way of starting the copy worked.
        MessageBoxA(nullptr, error.what(), nullptr, MB_ICONERROR);
        return 1;
    }
    return 0;
}
