// Soak of Mewlark.exe: many re-fetch passes in a row against the service simulator, with a
// mix of good and broken replies, and what the process holds every EVERY passes.
//   notifier_soak [PASSES] [EVERY]
// Prints a Markdown table; exits with 1 when a pass did not start or a count of handles,
// GDI objects or threads grew between the first row and the last. Run by tools/soak.sh.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "notifier/res/Resource.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

constexpr const char* kSettingsKey = "Software\\tarn\\Mewlark";

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeoutMs) return done();
        Sleep(20);
    }
    return true;
}

HWND MainWindowOfNotifier() { return FindWindowA("MEWLARKCLASS", nullptr); }

// What a process holds, as far as Wine lets another process see it.
struct ProcessResources {
    int kernelHandles = -1;  // the system's handle table
    int gdiObjects = -1;     // Wine's GDI handle table in the process
    int threads = -1;
    std::uint64_t privateBytes = 0;
};

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

// The reply of one re-fetch pass, from a mix of good and broken ones chosen by pass.
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

// One re-fetch pass of the running notifier, asked for from outside until the service has
// been asked; false when no pass started within the time.
bool RunRefetchPass(HWND mainWindow, int pass) {
    const int asked = sim::RequestCount("arrival");
    sim::Script("arrival", MixedReply(pass));
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        // Dropped while the previous pass is still running: asked again shortly.
        DWORD_PTR result = 0;
        SendMessageTimeoutA(mainWindow, WM_COMMAND, IDM_REFETCH, 0, SMTO_ABORTIFHUNG, 5000, &result);
        if (WaitFor([&] { return sim::RequestCount("arrival") > asked; }, 30)) return true;
    }
    return false;
}

void PrintRow(int pass, const ProcessResources& r) {
    std::printf("| %d | %d | %d | %d | %.1f |\n", pass, r.kernelHandles, r.gdiObjects, r.threads,
                static_cast<double>(r.privateBytes) / 1024.0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int passes = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int every = argc > 2 ? std::atoi(argv[2]) : 100;
    if (passes < every || every < 1) {
        std::fprintf(stderr, "usage: notifier_soak [PASSES] [EVERY <= PASSES]\n");
        return 2;
    }
    sim::Reset();
    sim::AddAccount("soak", "pw", 1);
    sim::AddSession("eid-soak", "soak");
    HKEY settings = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &settings, nullptr);
    RegSetValueExA(settings, "EID", 0, REG_SZ, reinterpret_cast<const BYTE*>("eid-soak"), 9);
    RegCloseKey(settings);

    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = "\"" + std::string(self).substr(0, std::string(self).rfind('\\')) + "\\Mewlark.exe\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION notifier{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &notifier) ||
        !WaitFor([] { return MainWindowOfNotifier() != nullptr; }, 15000) ||
        !WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000)) {
        std::fprintf(stderr, "the notifier did not start its first pass\n");
        return 1;
    }
    const HWND window = MainWindowOfNotifier();
    const auto sample = [&] {
        // The pass's worker has ended: only the UI thread is left.
        WaitFor([&] { return ThreadsOf(notifier.dwProcessId) == 1; }, 10000);
        return ResourcesOf(notifier.hProcess, notifier.dwProcessId);
    };

    std::printf("| after pass | kernel handles | GDI objects | threads | private KB |\n|---|---|---|---|---|\n");
    const DWORD started = GetTickCount();
    ProcessResources first;
    ProcessResources last;
    bool ok = true;
    for (int pass = 1; pass <= passes && ok; ++pass) {
        ok = RunRefetchPass(window, pass);
        if (!ok) std::fprintf(stderr, "pass %d did not start\n", pass);
        if (pass % every == 0 || pass == passes) {
            last = sample();
            if (pass == every) first = last;
            PrintRow(pass, last);
        }
    }
    std::printf("\n%d passes in %.1f s; the service was asked %d times\n", passes,
                static_cast<double>(GetTickCount() - started) / 1000.0, sim::RequestCount("arrival"));

    const bool grew = last.kernelHandles > first.kernelHandles || last.gdiObjects > first.gdiObjects ||
                      last.threads > first.threads;
    if (grew) std::printf("a count grew between pass %d and pass %d\n", every, passes);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    WaitForSingleObject(notifier.hProcess, 15000);
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    return ok && !grew ? 0 : 1;
}
