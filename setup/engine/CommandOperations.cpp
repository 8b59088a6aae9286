#include "setup/engine/CommandOperations.h"

#include <windows.h>
#include <sddl.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "common/HandleOwners.h"
#include "setup/engine/ComOperations.h"
#include "setup/engine/FileOperations.h"
#include "setup/engine/SetupError.h"
#include "setup/script/PathText.h"
#include "setup/script/ScriptText.h"

namespace {

std::string FolderFromCall(UINT (WINAPI* folderOf)(LPSTR, UINT)) {
    char folder[MAX_PATH] = {};
    const UINT length = folderOf(folder, MAX_PATH);
    return length > 0 && length < MAX_PATH ? WithoutTrailingBackslash(folder) : std::string();
}

// The folders in the order CreateProcess searches them for a program named without a folder.
StringList ProgramSearchFolders() {
    StringList folders;
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) folders.push_back(FolderOf(path));
    const DWORD current = GetCurrentDirectoryA(MAX_PATH, path);
    if (current > 0 && current < MAX_PATH) folders.push_back(WithoutTrailingBackslash(path));
    folders.push_back(FolderFromCall(GetSystemDirectoryA));
    const std::string windows = FolderFromCall(GetWindowsDirectoryA);
    if (!windows.empty()) folders.push_back(windows + "\\System");
    folders.push_back(windows);
    const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    std::string list(size, '\0');
    list.resize(size > 0 ? GetEnvironmentVariableA("PATH", &list[0], size) : 0);
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(';', start), list.size());
        const std::string folder = WithoutTrailingBackslash(Trim(list.substr(start, end - start)));
        if (!folder.empty()) folders.push_back(folder);
        start = end + 1;
    }
    return folders;
}

// Starts the command line as a process of the program, waiting for it (at most
// kCommandWaitMs) when asked; the process's handle goes to started when one is given.
bool CreateCommandProcess(const std::string& program, const std::string& command, bool wait,
                          KernelHandle* started = nullptr) {
    if (program.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::vector<char> commandLine(command.begin(), command.end());
    commandLine.push_back('\0');
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE,
                        nullptr, nullptr, &startup, &process)) {
        return false;
    }
    KernelHandle processHandle(process.hProcess);
    const KernelHandle threadHandle(process.hThread);
    if (wait) WaitForSingleObject(processHandle.Get(), kCommandWaitMs);
    if (started != nullptr) *started = std::move(processHandle);
    return true;
}

}  // namespace

std::string ResolveProgram(const std::string& command) {
    std::string name = ProgramOf(command);
    if (name.empty()) return std::string();
    if (FileNameOf(name).find('.') == std::string::npos) name += ".exe";
    if (name.find_first_of("\\/:") != std::string::npos) {
        char full[MAX_PATH] = {};
        const DWORD length = GetFullPathNameA(name.c_str(), MAX_PATH, full, nullptr);
        return length > 0 && length < MAX_PATH ? std::string(full, length) : name;
    }
    for (const std::string& folder : ProgramSearchFolders()) {
        if (!folder.empty() && FileExists(folder + "\\" + name)) return folder + "\\" + name;
    }
    return std::string();
}

bool StartProcess(const std::string& program, const std::string& command, KernelHandle* started) {
    return CreateCommandProcess(program, command, false, started);
}

namespace {

bool StartThroughDesktopShell(const std::string& command);
bool ShellIsLessElevated();

}  // namespace

bool ExecCommand(const std::string& command, bool wait) { return ExecCommand(command, wait, ResolveProgram(command)); }

bool ExecCommand(const std::string& command, bool wait, const std::string& program) {
    if (CreateCommandProcess(program, command, wait)) return true;
    const DWORD error = GetLastError();

    // The shell can open what is no program: a document, or a program it has to elevate. It
    // resolves names through the user's own settings, so an elevated setup lets the desktop
    // shell do it with the user's rights. A command without a blank outside quotes (a lone
    // document) goes to it whole.
    if (IsProcessElevated() && ShellIsLessElevated()) {
        if (StartThroughDesktopShell(command)) return false;
        throw ExecError(error, command);
    }
    CommandLineParts parts = SplitCommandLine(command);
    if (parts.program.empty()) parts.program = Trim(command);
    UseComApartment();
    const HINSTANCE shell = ShellExecuteA(nullptr, nullptr, parts.program.c_str(),
                                          parts.parameters.empty() ? nullptr : parts.parameters.c_str(), nullptr,
                                          SW_SHOW);
    if (reinterpret_cast<INT_PTR>(shell) > 32) return false;
    throw ExecError(error, command);
}

namespace {

bool IsElevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated != 0;
}

// The token of the process that owns the shell's desktop window (else its taskbar: Wine names
// no shell window), open to read and to copy; empty (the error code left for GetLastError) when
// there is no shell or it cannot be opened.
KernelHandle ShellProcessToken() {
    HWND shellWindow = GetShellWindow();
    if (shellWindow == nullptr) shellWindow = FindWindowA("Shell_TrayWnd", nullptr);
    DWORD processId = 0;
    if (shellWindow == nullptr || GetWindowThreadProcessId(shellWindow, &processId) == 0) {
        SetLastError(ERROR_NOT_FOUND);
        return KernelHandle();
    }
    const KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    HANDLE token = nullptr;
    if (!process || !OpenProcessToken(process.Get(), TOKEN_QUERY | TOKEN_DUPLICATE, &token)) return KernelHandle();
    return KernelHandle(token);
}

// Starts the command as a process with a primary copy of the shell's token: the user's rights.
bool StartWithToken(HANDLE shellToken, const std::string& command) {
    HANDLE primary = nullptr;
    if (!DuplicateTokenEx(shellToken, TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT |
                                          TOKEN_ADJUST_SESSIONID,
                          nullptr, SecurityImpersonation, TokenPrimary, &primary)) {
        return false;
    }
    const KernelHandle token(primary);
    const int length = MultiByteToWideChar(CP_ACP, 0, command.c_str(), -1, nullptr, 0);
    if (length <= 0) return false;
    std::vector<wchar_t> commandLine(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, command.c_str(), -1, commandLine.data(), length);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessWithTokenW(token.Get(), 0, nullptr, commandLine.data(), CREATE_DEFAULT_ERROR_MODE, nullptr,
                                 nullptr, &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
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

// Has the desktop shell start the command: it runs in the shell's process, with its rights.
bool StartThroughDesktopShell(const std::string& command) {
    const std::string program = ProgramOf(command);
    if (!FileExists(program)) return false;
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

// True when the desktop shell's process runs with less elevation than an elevated setup.
bool ShellIsLessElevated() {
    const KernelHandle shellToken = ShellProcessToken();
    return shellToken && !IsElevated(shellToken.Get());
}

// The user of a token, as a SID's text; empty when it cannot be read.
std::string UserOfToken(HANDLE token) {
    std::vector<char> data(256);
    DWORD size = 0;
    if (!GetTokenInformation(token, ::TokenUser, data.data(), static_cast<DWORD>(data.size()), &size)) return {};
    char* text = nullptr;
    if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(data.data())->User.Sid, &text)) return {};
    const LocalMemory held(text);
    return text;
}

}  // namespace

UserRightsScope::UserRightsScope(bool wanted) {
    HANDLE own = nullptr;
    if (!wanted || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) return;
    const KernelHandle ownToken(own);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!GetTokenInformation(own, TokenElevationType, &type, sizeof(type), &size) || type != TokenElevationTypeFull) {
        return;
    }
    // The linked token itself is only good for identification without the TCB privilege; the
    // shell's process holds the same user's unelevated token.
    const KernelHandle shellToken = ShellProcessToken();
    if (!shellToken || IsElevated(shellToken.Get()) || UserOfToken(shellToken.Get()) != UserOfToken(own)) return;
    HANDLE copy = nullptr;
    if (!DuplicateTokenEx(shellToken.Get(), TOKEN_QUERY | TOKEN_IMPERSONATE, nullptr, SecurityImpersonation,
                          TokenImpersonation, &copy)) {
        return;
    }
    const KernelHandle impersonation(copy);
    impersonating_ = SetThreadToken(nullptr, impersonation.Get()) != FALSE;
}

UserRightsScope::~UserRightsScope() {
    if (impersonating_) RevertToSelf();
}

bool IsProcessElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const KernelHandle owner(token);
    return IsElevated(token);
}

unsigned long StartAsShellUser(const std::string& command) {
    if (!IsProcessElevated()) {
        ExecCommand(command, false);
        return ERROR_SUCCESS;
    }
    const KernelHandle shellToken = ShellProcessToken();
    // Without the shell's rights to compare with, this process's are the only ones at hand.
    if (!shellToken) return GetLastError();
    if (IsElevated(shellToken.Get())) {
        ExecCommand(command, false);
        return ERROR_SUCCESS;
    }
    // The setup's own child with a copy of the shell's token first: a program that the shell
    // started lives only as long as the shell's desktop process, which under Wine ends with
    // the last program it did not start itself. The shell starts it where the token cannot be
    // used (no Secondary Logon service).
    if (StartWithToken(shellToken.Get(), command) || StartThroughDesktopShell(command)) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_ACCESS_DENIED;
}
