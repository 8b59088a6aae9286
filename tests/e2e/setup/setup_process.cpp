#include "tests/e2e/setup/setup_process.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>

namespace setup_test {

ChildProcess::~ChildProcess() {
    if (process_ == nullptr) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
    CloseHandle(process_);
}

bool ChildProcess::WaitForExit(DWORD timeoutMs) const {
    return process_ != nullptr && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0;
}

ChildProcess StartProgram(const std::string& commandLine, const std::string& tempDir) {
    std::string environment;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
        if (_strnicmp(entry, "TMP=", 4) != 0 && _strnicmp(entry, "TEMP=", 5) != 0) environment.append(entry).push_back('\0');
    }
    FreeEnvironmentStringsA(block);
    environment.append("TMP=" + tempDir + '\0' + "TEMP=" + tempDir + '\0' + '\0');

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string line = commandLine;
    // Started in its temporary folder: a path from the drive's root stays on drive C:.
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, environment.data(), tempDir.c_str(),
                        &startup, &info)) {
        ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
        return ChildProcess(nullptr, 0);
    }
    CloseHandle(info.hThread);
    return ChildProcess(info.hProcess, info.dwProcessId);
}

ChildProcess ChildOf(DWORD parentId, const char* exeName, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof(entry);
        DWORD found = 0;
        for (BOOL more = Process32First(snapshot, &entry); more && found == 0; more = Process32Next(snapshot, &entry)) {
            if (entry.th32ParentProcessID == parentId && (!exeName || lstrcmpiA(entry.szExeFile, exeName) == 0)) {
                found = entry.th32ProcessID;
            }
        }
        CloseHandle(snapshot);
        const HANDLE process = found ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, found) : nullptr;
        if (process != nullptr) return ChildProcess(process, found);
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return ChildProcess(nullptr, 0);
}

std::vector<SeenBox> AnswerBoxes(const ChildProcess& process, const std::vector<int>& buttons) {
    const std::vector<SeenBox> seen = AnswerBoxes(process.Id(), buttons);
    EXPECT_EQ(seen.size(), buttons.size()) << "a box did not come";
    if (!process.WaitForExit()) {
        const HWND extra = WaitForBox(process.Id(), 100);
        ADD_FAILURE() << "the program did not end" << (extra ? ", showing: " + ReadBox(extra).text : std::string());
    }
    return seen;
}

std::vector<SeenBox> AnswerUntilEnd(const ChildProcess& process, bool yes) {
    std::vector<SeenBox> seen;
    const DWORD start = GetTickCount();
    while (!process.WaitForExit(0) && GetTickCount() - start < 60000) {
        const HWND box = WaitForBox(process.Id(), 50);
        if (box == nullptr) continue;
        seen.push_back(ReadBox(box));
        const std::vector<int>& buttons = seen.back().buttons;
        const auto has = [&](int id) { return std::find(buttons.begin(), buttons.end(), id) != buttons.end(); };
        PressButton(box, has(IDOK) ? IDOK : has(IDCANCEL) ? IDCANCEL : yes ? IDYES : IDNO);
    }
    EXPECT_TRUE(process.WaitForExit(0)) << "the program did not end";
    return seen;
}

SetupTest::SetupTest()
    : programs(ReadValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         "Common Programs").data),
      programFiles(ReadValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir").data) {
    CreateDirectoryA(source.c_str(), nullptr);
    CreateDirectoryA(temp.c_str(), nullptr);
    CopyFileA((BinDir() + "\\MewlarkSetup.exe").c_str(), Setup().c_str(), FALSE);
    WriteText(source + "\\readme.txt", "readme");
}

bool NotepadShows(DWORD parentId, const std::string& fileName) {
    const ChildProcess notepad = ChildOf(parentId, "notepad.exe");
    // Its window is titled with the file's name once the file is loaded.
    const std::string title = fileName + Cp932(u8" - メモ帳");
    const DWORD start = GetTickCount();
    while (notepad.IsValid() && FindWindowA(nullptr, title.c_str()) == nullptr && GetTickCount() - start < 30000) Sleep(20);
    return notepad.IsValid() && FindWindowA(nullptr, title.c_str()) != nullptr;
}

}  // namespace setup_test
