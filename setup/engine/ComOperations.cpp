#include "setup/engine/ComOperations.h"

#include <windows.h>
#include <shlobj.h>

#include "common/HandleOwners.h"

void UseComApartment() { static const ComApartment apartment; }

bool CreateShortcut(const std::string& shortcutPath, const std::string& target) {
    wchar_t widePath[MAX_PATH] = {};
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, shortcutPath.c_str(), -1, widePath, MAX_PATH) == 0) return false;
    UseComApartment();

    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.OutVoid()))) {
        return false;
    }
    link->SetPath(target.c_str());
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.OutVoid()))) return false;
    return SUCCEEDED(file->Save(widePath, TRUE));
}

bool CallSelfRegistration(const std::string& path, bool doRegister) {
    UseComApartment();
    // The server's own folder and the system folder supply its dependencies; without the
    // search flags (Windows before 8 without its update) its folder still comes first.
    HMODULE module =
        LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const ModuleHandle library(module);
    if (library.Get() == nullptr) return false;
    const FARPROC entry = GetProcAddress(library.Get(), doRegister ? "DllRegisterServer" : "DllUnregisterServer");
    if (entry == nullptr) return false;
    using RegistrationEntry = HRESULT(STDAPICALLTYPE*)();
    // Its result is not used: the install goes on whatever the server reports.
    reinterpret_cast<RegistrationEntry>(reinterpret_cast<void*>(entry))();
    return true;
}
