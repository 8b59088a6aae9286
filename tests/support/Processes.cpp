#include "tests/support/Processes.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstring>
#include <functional>

namespace test {

namespace {

// Calls visit for every process until it returns true.
void ForEachProcess(const std::function<bool(const PROCESSENTRY32&)>& visit) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more && !visit(entry); more = Process32Next(snapshot, &entry)) {
    }
    CloseHandle(snapshot);
}

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

Process& Process::operator=(Process&& other) noexcept {
    std::swap(process_, other.process_);
    std::swap(id_, other.id_);
    return *this;
}

Process::~Process() {
    if (process_ == nullptr) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

Process Process::Start(const std::string& commandLine, const std::string& tempDir) {
    std::string environment;
    if (!tempDir.empty()) {
        char* block = GetEnvironmentStringsA();
        for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
            if (_strnicmp(entry, "TMP=", 4) != 0 && _strnicmp(entry, "TEMP=", 5) != 0) {
                environment.append(entry).push_back('\0');
            }
        }
        FreeEnvironmentStringsA(block);
        environment.append("TMP=" + tempDir + '\0' + "TEMP=" + tempDir + '\0' + '\0');
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string line = commandLine;
    // Started in its temporary folder: a path from the drive's root stays on drive C:.
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        environment.empty() ? nullptr : environment.data(), tempDir.empty() ? nullptr : tempDir.c_str(),
                        &startup, &info)) {
        ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
        return Process();
    }
    AssignProcessToJobObject(TestProcessJob(), info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    return Process(info.hProcess, info.dwProcessId);
}

bool Process::Ended(DWORD timeoutMs) const {
    return process_ != nullptr && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = ~0u;
    GetExitCodeProcess(process_, &code);
    return code;
}

DWORD Process::Lifetime() const {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process_, &created, &exited, &kernel, &user);
    const auto ticks = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<DWORD>((ticks(exited) - ticks(created)) / 10000);
}

Process ChildOf(DWORD parentId, const char* programName, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        DWORD found = 0;
        ForEachProcess([&](const PROCESSENTRY32& entry) {
            if (entry.th32ParentProcessID != parentId) return false;
            if (programName != nullptr && lstrcmpiA(entry.szExeFile, programName) != 0) return false;
            found = entry.th32ProcessID;
            return true;
        });
        const HANDLE process = found ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE,
                                                   found)
                                     : nullptr;
        if (process != nullptr) return Process(process, found);
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return Process();
}

std::string ParentProgramOf(DWORD processId) {
    DWORD parentId = 0;
    ForEachProcess([&](const PROCESSENTRY32& entry) {
        if (entry.th32ProcessID == processId) parentId = entry.th32ParentProcessID;
        return parentId != 0;
    });
    std::string name;
    ForEachProcess([&](const PROCESSENTRY32& entry) {
        if (entry.th32ProcessID == parentId) name = entry.szExeFile;
        return !name.empty();
    });
    return name;
}

}  // namespace test
