#include "setup/SetupOperations.h"

#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cstring>
#include <vector>

#include "setup/PathText.h"
#include "setup/RegistryKey.h"
#include "setup/ScriptText.h"
#include "setup/SetupError.h"
#include "setup/SetupLog.h"
#include "setup/Win32Handles.h"
#include "setup/WininitRename.h"

namespace {

class ComApartment {
public:
    ComApartment() : result_(CoInitialize(nullptr)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT result_;
};

}  // namespace

void UseComApartment() { static const ComApartment apartment; }

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

std::string WindowsFolderFile(const std::string& name) {
    char folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return name;
    return WithoutTrailingBackslash(folder) + "\\" + name;
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
bool DesktopShell(ComRef<IShellDispatch2>& shell) {
    ComRef<IShellWindows> windows;
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
    ComRef<IDispatch> desktop;
    if (windows->FindWindowSW(&desktopLocation, &noRoot, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                              reinterpret_cast<IDispatch**>(desktop.OutVoid())) != S_OK) {
        return false;
    }
    ComRef<IServiceProvider> services;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IDispatch> background;
    ComRef<IShellFolderViewDual> folderView;
    ComRef<IDispatch> application;
    return SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, services.OutVoid())) &&
           SUCCEEDED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.OutVoid())) &&
           SUCCEEDED(browser->QueryActiveShellView(reinterpret_cast<IShellView**>(view.OutVoid()))) &&
           SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.OutVoid())) &&
           SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.OutVoid())) &&
           SUCCEEDED(folderView->get_Application(reinterpret_cast<IDispatch**>(application.OutVoid()))) &&
           SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.OutVoid()));
}

}  // namespace

bool StartAsShellUser(const std::string& command) {
    const std::string program = ProgramOf(command);
    if (!IsElevated() || !FileExists(program)) return false;
    UseComApartment();
    ComRef<IShellDispatch2> shell;
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

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool LeadsToRootFolder(const std::string& folder) {
    if (IsRootFolder(folder)) return true;
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(folder.c_str(), MAX_PATH, full, nullptr);
    return length > 0 && length < MAX_PATH && IsRootFolder(std::string(full, length));
}

bool DirectoryExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// Creates the folder, first its missing parents; a folder that is there already counts as made.
// A path beyond the platform's limit is not made: Windows refuses it, Wine would nest
// thousands of folders.
bool CreateFolderTree(const std::string& path) {
    if (path.size() >= MAX_PATH) return false;
    if (CreateDirectoryA(path.c_str(), nullptr) || DirectoryExists(path)) return true;
    const std::string parent = FolderOf(path);
    if (parent == path || parent.empty() || !CreateFolderTree(parent)) return false;
    return CreateDirectoryA(path.c_str(), nullptr) || DirectoryExists(path);
}

}  // namespace

bool CreateDirectoryLogged(const std::string& path) {
    const std::string text = "Create Directory \"" + path + "\"";
    if (DirectoryExists(path)) {
        WriteLog(LogLevel::Skip, text);
        return true;
    }
    const bool created = CreateFolderTree(path);
    WriteLog(created ? LogLevel::Success : LogLevel::Error, text);
    return created;
}

bool CopyFileLogged(const std::string& source, const std::string& destination) {
    std::string text = "Copy File \"" + source + "\" to \"" + destination + "\"";
    if (!CopyFileA(source.c_str(), destination.c_str(), FALSE)) {
        text += " Error " + std::to_string(GetLastError());
        WriteLog(LogLevel::Error, text);
        throw SetupError(text);
    }
    WriteLog(LogLevel::Success, text);
    const DWORD attributes = GetFileAttributesA(destination.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesA(destination.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    return true;
}

bool ReadFileText(const std::string& path, std::string& text) {
    text.clear();
    const KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr)) {
        if (got == 0) return true;
        text.append(buffer, got);
    }
    return false;
}

bool WriteFileText(const std::string& path, const std::string& text) {
    const KernelHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

namespace {

// The Windows 95 family deletes at start what wininit.ini renames to "Nul".
void AddToWininit(const std::string& path) {
    char windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    char shortPath[MAX_PATH] = {};
    const DWORD shortLength = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
    // Without a short name there is no line that would name the file.
    if (shortLength == 0 || shortLength >= MAX_PATH) return;

    const std::string wininit = WithoutTrailingBackslash(windows) + "\\wininit.ini";
    std::string text;
    StringList lines;
    if (FileExists(wininit) && ReadFileText(wininit, text)) lines = SplitLines(text);
    AddRenameToNul(lines, shortPath);
    text.clear();
    for (const std::string& line : lines) text += line + "\r\n";
    WriteFileText(wininit, text);
}

}  // namespace

void DeleteFileAtReboot(const std::string& path) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        AddToWininit(path);
    } else {
        MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

bool CreateShortcut(const std::string& shortcutPath, const std::string& target) {
    wchar_t widePath[MAX_PATH] = {};
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, shortcutPath.c_str(), -1, widePath, MAX_PATH) == 0) return false;
    UseComApartment();

    ComRef<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.OutVoid()))) {
        return false;
    }
    link->SetPath(target.c_str());
    ComRef<IPersistFile> file;
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
    const LoadedLibrary library(module);
    if (library.Get() == nullptr) return false;
    const FARPROC entry = GetProcAddress(library.Get(), doRegister ? "DllRegisterServer" : "DllUnregisterServer");
    if (entry == nullptr) return false;
    using RegistrationEntry = HRESULT(STDAPICALLTYPE*)();
    // Its result is not used: the install goes on whatever the server reports.
    reinterpret_cast<RegistrationEntry>(reinterpret_cast<void*>(entry))();
    return true;
}

std::string GetRegisteredQuollPath() {
    RegistryKey name;
    if (!name.Open(HKEY_CLASSES_ROOT, "\\QuollLibrary.Quoll\\Clsid", KEY_READ)) return std::string();
    const std::string classId = Trim(name.ReadString(nullptr));
    if (classId.empty()) return std::string();
    RegistryKey server;
    if (!server.Open(HKEY_CLASSES_ROOT, "\\Clsid\\" + classId + "\\LocalServer32", KEY_READ)) return std::string();
    return server.ReadString(nullptr);
}

namespace {

// The Japanese FileVersion string of the file's version resource; empty when there is none.
std::string JapaneseFileVersion(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return std::string();
    void* value = nullptr;
    UINT length = 0;
    char query[] = "\\StringFileInfo\\041103A4\\FileVersion";
    if (!VerQueryValueA(data.data(), query, &value, &length) || value == nullptr || length == 0) return std::string();
    // Only what the query pointed at, and never past the block it was read from.
    const char* text = static_cast<const char*>(value);
    const char* begin = data.data();
    const char* end = begin + data.size();
    if (text < begin || text >= end) return std::string();
    const std::size_t available = static_cast<std::size_t>(end - text);
    return std::string(text, strnlen(text, length < available ? length : available));
}

}  // namespace

std::string GetFileBuild(const std::string& path) {
    const std::string build = LastDottedPart(JapaneseFileVersion(path));
    WriteLog(LogLevel::Info, "Build No: " + path + "(" + build + ")");
    return build;
}

void InstallQuollComponent(const std::string& source, const std::string& destination) {
    if (!FileExists(source)) return;
    const std::string current = GetRegisteredQuollPath();
    WriteLog(LogLevel::Info, "Current Quoll = \"" + current + "\".");

    int installed = 0;
    int offered = 1;
    if (FileExists(current)) {
        offered = ParseDecimal(GetFileBuild(source), 1);
        installed = ParseDecimal(GetFileBuild(current), 0);
    }
    if (installed >= offered) {
        WriteLog(LogLevel::Skip, "Copy Quoll.exe");
        return;
    }
    const std::string folder = FolderOf(destination);
    if (!DirectoryExists(folder)) CreateDirectoryLogged(folder);
    CopyFileLogged(source, destination);
    ExecCommand("\"" + destination + "\" /regserver", true);
    WriteLog(LogLevel::Success, "Copy Quoll.exe");
}
