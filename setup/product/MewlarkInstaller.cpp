#include "setup/product/MewlarkInstaller.h"

#include <windows.h>

#include "setup/engine/RegistryKey.h"

int TInstaller::ConfirmInstall(bool) { return IDYES; }

int TInstaller::ConfirmUninstall(bool prompt) {
    if (!prompt) return IDYES;
    const std::string caption = FProductTitle + " アンインストーラ";
    const std::string text = "\"" + FProductTitle + "\" のアンインストールを開始します。";
    return ShowBox(text, caption.c_str(), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2, IDYES);
}

bool HasAdminRights() {
    RegistryKey key;
    return key.Open(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", KEY_ALL_ACCESS);
}
