#include "tests/support/Processes.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <string_view>

#include "tests/support/Waiting.h"

namespace test {

namespace {

// The job of every process the tests start, and of what those start in turn: it ends them all
// when the test program ends, so that a failed test leaves no program behind (such as a
// notepad showing a log) to hold CTest's output pipe open.
HANDLE TestProcessJob() {
    static const HANDLE job = [] {
        // Wine starts the desktop's process (explorer.exe /desktop, which also serves the shell's
        // windows to COM) from the first process that needs the desktop: this one, before any
        // process joins the job, so that the job's end does not take the desktop with it.
        GetDesktopWindow();
        const HANDLE created = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(created, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
        return created;
    }();
    return job;
}

}  // namespace

Process::Process(HANDLE process, DWORD id) : id_(id) {
    if (process == nullptr) return;
    process_.reset(process, [](HANDLE running) {
        if (WaitForSingleObject(running, 0) == WAIT_TIMEOUT) {
            TerminateProcess(running, 99);
            WaitForSingleObject(running, 5000);
        }
        CloseHandle(running);
    });
}

Process Process::Start(const std::string& commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &info)) {
        ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
        return Process();
    }
    AssignProcessToJobObject(TestProcessJob(), info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    return Process(info.hProcess, info.dwProcessId);
}

bool Process::Ended(DWORD timeoutMs) const {
    return process_ != nullptr && WaitForSingleObject(Handle(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = ~0u;
    GetExitCodeProcess(Handle(), &code);
    return code;
}

DWORD Process::Lifetime() const {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(Handle(), &created, &exited, &kernel, &user);
    const auto ticks = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<DWORD>((ticks(exited) - ticks(created)) / 10000);
}

Process ChildOf(DWORD parentId, const char* programName, DWORD timeoutMs) {
    DWORD found = 0;
    WaitFor(
        [&] {
            const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            PROCESSENTRY32 entry{};
            entry.dwSize = sizeof(entry);
            for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry)) {
                if (entry.th32ParentProcessID == parentId &&
                    (programName == nullptr || lstrcmpiA(entry.szExeFile, programName) == 0)) {
                    found = entry.th32ProcessID;
                }
            }
            CloseHandle(snapshot);
            return found != 0;
        },
        timeoutMs);
    return Process(found ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, found) : nullptr,
                   found);
}

Process OwnerOf(const std::function<HWND()>& findWindow, DWORD timeoutMs) {
    HWND window = nullptr;
    WaitFor([&] { return (window = findWindow()) != nullptr; }, timeoutMs);
    DWORD id = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &id) == 0) return Process();
    return Process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id), id);
}

bool IsElevated(DWORD processId) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    HANDLE token = nullptr;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool elevated = process != nullptr && OpenProcessToken(process, TOKEN_QUERY, &token) &&
                          GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
                          elevation.TokenIsElevated != 0;
    if (token != nullptr) CloseHandle(token);
    if (process != nullptr) CloseHandle(process);
    return elevated;
}

bool ShellIsElevated() {
    DWORD id = 0;
    GetWindowThreadProcessId(FindWindowA("Shell_TrayWnd", nullptr), &id);
    return id != 0 && IsElevated(id);
}

int CopiesInMemory(const std::string& text) {
    std::string wide;
    for (const char c : text) wide += {c, '\0'};
    const std::string* forms[] = {&text, &wide};
    int copies = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof(region)) != 0; at += region.RegionSize) {
        at = static_cast<const char*>(region.BaseAddress);
        constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE;
        const bool readable = (region.Protect & kReadable) && !(region.Protect & PAGE_GUARD);
        if (region.State != MEM_COMMIT || region.Type != MEM_PRIVATE || !readable) continue;
        const std::string_view pages(at, region.RegionSize);
        for (const std::string* form : forms) {
            for (std::size_t i = pages.find(*form); i != std::string_view::npos; i = pages.find(*form, i + 1)) {
                copies += pages.data() + i != form->data();  // not the searched text itself
            }
        }
    }
    return copies;
}

}  // namespace test
