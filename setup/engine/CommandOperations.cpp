#include "setup/engine/CommandOperations.h"

#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <vector>

#include "common/HandleOwners.h"
#include "setup/engine/ComOperations.h"
#include "setup/engine/FileOperations.h"
#include "setup/engine/SetupError.h"
#include "setup/script/ScriptText.h"

bool ExecCommand(const std::string& command, bool wait) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<char> commandLine(command.begin(), command.end());
    commandLine.push_back('\0');
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr,
                       nullptr, &startup, &process)) {
        const KernelHandle processHandle(process.hProcess);
        const KernelHandle threadHandle(process.hThread);
        if (wait) WaitForSingleObject(processHandle.Get(), kCommandWaitMs);
        return true;
    }
    const DWORD error = GetLastError();

    // The shell can open what is no program: a document, or a program it has to elevate.
    // A command without a blank outside quotes (a lone document) goes to it whole.
    CommandLineParts parts = SplitCommandLine(command);
    if (parts.program.empty()) parts.program = Trim(command);
    UseComApartment();
    const HINSTANCE shell = ShellExecuteA(nullptr, nullptr, parts.program.c_str(),
                                          parts.parameters.empty() ? nullptr : parts.parameters.c_str(), nullptr,
                                          SW_SHOW);
    if (reinterpret_cast<INT_PTR>(shell) > 32) return false;
    throw SetupError(std::to_string(error) + " ... Exec Error " + command);
}

namespace {

bool IsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const KernelHandle owner(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    // Windows before Vista has no such token class: never elevated there.
    return GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated != 0;
}

// A string for a COM call, in UTF-16 from the ANSI code page.
class ComString {
public:
    explicit ComString(const std::string& text) {
        const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
        if (length <= 0) return;
        std::vector<wchar_t> wide(static_cast<std::size_t>(length));
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
        string_ = SysAllocString(wide.data());
    }
    ~ComString() { SysFreeString(string_); }
    ComString(const ComString&) = delete;
    ComString& operator=(const ComString&) = delete;
    BSTR Get() const { return string_; }

private:
    BSTR string_ = nullptr;
};

// The desktop shell's automation object (IShellDispatch2), reached through its desktop
// window's view: what it starts runs in the shell's process, with the shell's rights.
bool DesktopShell(ComPtr<IShellDispatch2>& shell) {
    ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.OutVoid()))) {
        return false;
    }
    VARIANT desktopLocation;
    VariantInit(&desktopLocation);
    desktopLocation.vt = VT_I4;
    desktopLocation.lVal = CSIDL_DESKTOP;
    VARIANT noRoot;
    VariantInit(&noRoot);
    long desktopWindow = 0;
    ComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&desktopLocation, &noRoot, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                              desktop.Out()) != S_OK) {
        return false;
    }
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, services.OutVoid())) &&
           SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.OutVoid())) &&
           SUCCEEDED(browser->QueryActiveShellView(view.Out())) &&
           SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.OutVoid())) &&
           SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.OutVoid())) &&
           SUCCEEDED(folderView->get_Application(application.Out())) &&
           SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.OutVoid()));
}

}  // namespace

bool StartAsShellUser(const std::string& command) {
    const std::string program = ProgramOf(command);
    if (!IsElevated() || !FileExists(program)) return false;
    UseComApartment();
    ComPtr<IShellDispatch2> shell;
    if (!DesktopShell(shell)) return false;
    const ComString file(program);
    const ComString parameters(SplitCommandLine(command).parameters);
    VARIANT arguments;
    VariantInit(&arguments);
    arguments.vt = VT_BSTR;
    arguments.bstrVal = parameters.Get();
    VARIANT unset;
    VariantInit(&unset);
    return file.Get() != nullptr && SUCCEEDED(shell->ShellExecute(file.Get(), arguments, unset, unset, unset));
}
