#include "tests/e2e/notifier/notifier_process.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdlib>

#include "tests/unit/settings/registry_fixture.h"
#include "tools/simulator/SimulatorClient.h"

namespace notifier_test {

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string self(path);
    return self.substr(0, self.rfind('\\'));
}

std::string NotifierPath() { return ProgramFolder() + "\\Mewlark.exe"; }

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return done();
        Sleep(20);
    }
    return true;
}

Notifier::Notifier(const std::string& arguments) {
    std::string commandLine = "\"" + NotifierPath() + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process_)) {
        process_ = {};
    }
}

Notifier::~Notifier() {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 1);
        WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

DWORD Notifier::ExitCode() const {
    DWORD code = ~0u;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

DWORD Notifier::Lifetime() const {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process_.hProcess, &created, &exited, &kernel, &user);
    const auto ticks = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<DWORD>((ticks(exited) - ticks(created)) / 10000);
}

HWND MainWindowOfNotifier() { return FindWindowA("MEWLARKCLASS", nullptr); }

namespace {

struct WindowSearch {
    const char* className;
    const char* caption;  // null: any
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    char name[64] = {};
    char text[128] = {};
    GetClassNameA(window, name, sizeof(name));
    if (lstrcmpA(name, search->className) != 0) return TRUE;
    if (search->caption != nullptr) {
        GetWindowTextA(window, text, sizeof(text));
        if (lstrcmpA(text, search->caption) != 0) return TRUE;
    }
    if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
    search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevel(const char* className, const char* caption, bool visibleOnly) {
    WindowSearch search{className, caption, visibleOnly, {}};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string TextOf(HWND window) {
    char text[512] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &length);
    return std::string(text, std::min<std::size_t>(length, sizeof(text) - 1));
}

}  // namespace

HWND VisibleDialog(const char* caption) {
    const std::vector<HWND> found = TopLevel("#32770", caption, true);
    return found.empty() ? nullptr : found.back();
}

std::vector<HWND> TrayIconWindows() {
    const HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    if (tray == nullptr) return {};
    WindowSearch search{"__winex11_tray_icon", nullptr, false, {}};
    EnumChildWindows(tray, MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int TrayIcons() { return static_cast<int>(TrayIconWindows().size()); }

std::string TrayTipOf(HWND iconWindow) {
    RECT area{};
    GetWindowRect(iconWindow, &area);
    // Leave the icon first, so that resting on it shows its tooltip anew.
    SetCursorPos(area.right + 200, area.bottom + 200);
    WaitFor([] { return TopLevel("tooltips_class32", nullptr, true).empty(); }, 2000);
    SetCursorPos((area.left + area.right) / 2, (area.top + area.bottom) / 2);
    std::string tip;
    WaitFor(
        [&] {
            for (const HWND shown : TopLevel("tooltips_class32", nullptr, true)) {
                tip = TextOf(shown);
                if (!tip.empty()) return true;
            }
            return false;
        },
        5000);
    return tip;
}

void SetText(HWND control, const std::string& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                        &result);
}

LRESULT Query(HWND control, UINT message) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, message, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

void AnswerLogin(HWND dialog, const std::string& user, const std::string& password, bool save) {
    SetText(GetDlgItem(dialog, 1000), user);
    SetText(GetDlgItem(dialog, 1001), password);
    const HWND ok = GetDlgItem(dialog, IDOK);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(ok) != FALSE; }, 5000)) << "OK enabled by both fields";
    const HWND box = GetDlgItem(dialog, 1002);
    if (save) {
        PostMessageA(box, BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitFor([&] { return Query(box, BM_GETCHECK) == BST_CHECKED; }, 5000));
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

std::string StoredString(const char* valueName) {
    const auto raw = test::GetRaw(HKEY_CURRENT_USER, test::kSettingsKey, valueName);
    if (!raw || raw->data.empty()) return {};
    return raw->data.substr(0, raw->data.find('\0'));
}

namespace {

bool FileContains(const std::string& path, const std::string& needle) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::string window;  // the tail of the last chunk, so that a match across chunks is seen
    std::vector<char> chunk(1 << 20);
    DWORD got = 0;
    bool found = false;
    while (!found && ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) && got > 0) {
        window.append(chunk.data(), got);
        found = window.find(needle) != std::string::npos;
        if (window.size() > needle.size()) window.erase(0, window.size() - needle.size());
    }
    CloseHandle(file);
    return found;
}

void ScanFolder(const std::string& folder, const std::string& needle, const FILETIME& since, int depth,
                std::vector<std::string>& hits) {
    if (depth > 24) return;
    WIN32_FIND_DATAA entry;
    const HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        // dosdevices holds the drive links, z: among them: the whole host.
        if (depth == 0 && lstrcmpiA(name.c_str(), "dosdevices") == 0) continue;
        const std::string path = folder + "\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ScanFolder(path, needle, since, depth + 1, hits);
        } else if (CompareFileTime(&entry.ftLastWriteTime, &since) >= 0 && FileContains(path, needle)) {
            hits.push_back(path);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

}  // namespace

std::vector<std::string> PrefixFilesContaining(const std::string& needle, const FILETIME& since) {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix == nullptr || prefix[0] != '/') {
        ADD_FAILURE() << "WINEPREFIX is not an absolute path";
        return {};
    }
    std::string root = std::string("Z:") + prefix;
    std::replace(root.begin(), root.end(), '/', '\\');
    std::vector<std::string> hits;
    ScanFolder(root, needle, since, 0, hits);
    return hits;
}

namespace {

// NtQuerySystemInformation's SystemHandleInformation (16): every open handle of the system.
struct SystemHandle {
    ULONG processId;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};
struct SystemHandles {
    ULONG count;
    SystemHandle handles[1];
};

int KernelHandlesOf(DWORD processId) {
    using Query = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return -1;
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    NTSTATUS status;
    constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
    while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) == kInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return -1;
    const auto* table = reinterpret_cast<const SystemHandles*>(buffer.data());
    int count = 0;
    for (ULONG i = 0; i < table->count; ++i) count += table->handles[i].processId == processId;
    return count;
}

// Wine keeps a process's GDI objects in a table that the process's PEB points at
// (GdiSharedHandleTable); an entry is in use while the byte after its 16-bit handle tag is
// set (a deleted object's entry keeps its tag and loses that byte).
struct WineGdiEntry {
    std::uint64_t object;
    ULONG owner;
    ULONG type;
    std::uint64_t user;
};
constexpr std::size_t kGdiEntries = 0x10000;
constexpr std::size_t kPebGdiTableOffset = 0x94;  // 32-bit PEB

int GdiObjectsOf(HANDLE process) {
    using Query = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    ULONG size = 0;
    if (query == nullptr || query(process, ProcessBasicInformation, &basic, sizeof(basic), &size) != 0) return -1;
    DWORD table = 0;
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<BYTE*>(basic.PebBaseAddress) + kPebGdiTableOffset, &table,
                           sizeof(table), &got) ||
        table == 0) {
        return -1;
    }
    std::vector<WineGdiEntry> entries(kGdiEntries);
    if (!ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<ULONG_PTR>(table)), entries.data(),
                           entries.size() * sizeof(WineGdiEntry), &got)) {
        return -1;
    }
    return static_cast<int>(
        std::count_if(entries.begin(), entries.end(), [](const WineGdiEntry& e) { return ((e.type >> 16) & 0xFF) != 0; }));
}

int ThreadsOf(DWORD processId) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == processId;
    }
    CloseHandle(snapshot);
    return count;
}

}  // namespace

ProcessResources ResourcesOf(HANDLE process, DWORD processId) {
    ProcessResources resources;
    resources.kernelHandles = KernelHandlesOf(processId);
    resources.gdiObjects = GdiObjectsOf(process);
    resources.threads = ThreadsOf(processId);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    // PagefileUsage is the process's private memory ("private bytes").
    if (GetProcessMemoryInfo(process, &memory, sizeof(memory))) resources.privateBytes = memory.PagefileUsage;
    return resources;
}

namespace {

sim::Reply MixedReply(int pass) {
    sim::Reply reply;
    switch (pass % 8) {
        case 0:  // new mail, a changed count each time round
            reply.body = std::to_string(pass % 5 + 1) + "\r\n";
            break;
        case 1:
            reply.body = "0\r\n";
            break;
        case 2:
            reply.status = 500;
            break;
        case 3:
            reply.body = "dberror\r\n";
            break;
        case 4:  // an empty body
            break;
        case 5:
            for (int c = 0x80; c <= 0xFF; ++c) reply.body += static_cast<char>(c);
            break;
        case 6:
            reply.body = "9\r\n";
            reply.bodySize = 20000;
            break;
        case 7:
            reply.body = "4\r\n";
            reply.bodySize = 4000;
            reply.drop = "mid-body";
            break;
    }
    return reply;
}

constexpr UINT kRefetchCommand = 32782;  // IDM_REFETCH

}  // namespace

bool RunRefetchPass(HWND mainWindow, int pass) {
    const int asked = sim::RequestCount("arrival");
    sim::Script("arrival", MixedReply(pass));
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        // Dropped while the previous pass is still running: asked again shortly.
        DWORD_PTR result = 0;
        SendMessageTimeoutA(mainWindow, WM_COMMAND, kRefetchCommand, 0, SMTO_ABORTIFHUNG, 5000, &result);
        if (WaitFor([&] { return sim::RequestCount("arrival") > asked; }, 30)) return true;
    }
    return false;
}

bool WaitForIdleNotifier(DWORD processId) {
    return WaitFor([&] { return ThreadsOf(processId) == 1; }, 10000);
}

void NotifierProcess::SetUp() {
    StopAnyNotifier();
    sim::Reset();
    test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
    RemoveRunValue();
}

void NotifierProcess::TearDown() {
    StopAnyNotifier();
    test::DeleteKey(HKEY_CURRENT_USER, test::kSettingsKey);
    RemoveRunValue();
}

void NotifierProcess::StopAnyNotifier() {
    if (const HWND running = MainWindowOfNotifier()) {
        DWORD_PTR result;
        SendMessageTimeoutA(running, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        WaitFor([] { return MainWindowOfNotifier() == nullptr; }, 5000);
    }
}

void NotifierProcess::RemoveRunValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueA(key, "Mewlark.exe");
    RegCloseKey(key);
}

void NotifierProcess::StoreSession() {
    sim::AddAccount("alice", "pw", 0);
    sim::AddSession("eid-alice", "alice");
    test::SetRaw(HKEY_CURRENT_USER, test::kSettingsKey, "EID", REG_SZ, std::string("eid-alice\0", 10));
}

}  // namespace notifier_test
