// WriteAutoStartEntry against the real Run key under Wine.
#include "notifier/settings/autostart.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/unit/settings/registry_fixture.h"

namespace {

using test::GetRaw;
using test::RawValue;

constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kValueName = "Mewlark.exe";
constexpr const char* kChildVariable = "MEWLARK_AUTOSTART_CHILD";

std::string ModuleFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    // The test's own folder holds no double-byte characters.
    return folder.substr(0, folder.rfind('\\'));
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// Runs this test program from another file and waits for it; returns its exit code.
DWORD RunCopyOfThisProgram(const std::string& copyPath, const char* filter) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (!CopyFileA(self, copyPath.c_str(), FALSE)) return ~0u;
    std::string commandLine = Quoted(copyPath) + " --gtest_filter=" + filter;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    SetEnvironmentVariableA(kChildVariable, "1");
    const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &process);
    SetEnvironmentVariableA(kChildVariable, nullptr);
    if (!started) return ~0u;
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Other values under the Run key must survive everything the entry does.
class AutoStart : public ::testing::Test {
protected:
    void SetUp() override {
        ClearEntry();
        test::SetRaw(HKEY_CURRENT_USER, kRunKey, "OtherProgram", REG_SZ, std::string("other.exe\0", 10));
    }
    void TearDown() override {
        ClearEntry();
        HKEY run = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
            RegDeleteValueA(run, "OtherProgram");
            RegCloseKey(run);
        }
    }
    static void ClearEntry() {
        HKEY run = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
            RegDeleteValueA(run, kValueName);
            RegCloseKey(run);
        }
    }
};

TEST_F(AutoStart, WritesTheQuotedPathOfMewlarkBesideTheRunningFileOnce) {
    const std::string before = test::Snapshot(HKEY_CURRENT_USER, kRunKey);
    const RawValue expected{REG_SZ, Quoted(ModuleFolder() + "\\Mewlark.exe") + '\0'};

    WriteAutoStartEntry(true);
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kRunKey, kValueName), expected) << "named Mewlark.exe, not this test";
    WriteAutoStartEntry(true);
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kRunKey, kValueName), expected);
    WriteAutoStartEntry(false);
    EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, kRunKey), before) << "one value was written";
}

TEST_F(AutoStart, RemovalTakesOnlyTheEntryAndAMissingEntryIsNoError) {
    const std::string before = test::Snapshot(HKEY_CURRENT_USER, kRunKey);
    WriteAutoStartEntry(true);
    WriteAutoStartEntry(false);
    EXPECT_FALSE(GetRaw(HKEY_CURRENT_USER, kRunKey, kValueName));
    EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, kRunKey), before);

    WriteAutoStartEntry(false);
    EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, kRunKey), before);
}

TEST_F(AutoStart, ProgramRunFromAFolderAndFileWithDoubleByteNamesNamesMewlarkInItsFolder) {
    char temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    // "表" ends in the byte 0x5C, in the folder's and in the file's name.
    const std::string folder = std::string(temp) + "autostart \x95\x5C";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string copy = folder + "\\\x92\xCA\x92\x6D\x95\x5C.exe";

    EXPECT_EQ(RunCopyOfThisProgram(copy, "AutoStartChild.*"), 0u);
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kRunKey, kValueName), (RawValue{REG_SZ, Quoted(folder + "\\Mewlark.exe") + '\0'}));

    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}

// Runs only inside the copy started by the test above.
TEST(AutoStartChild, WritesTheEntry) {
    char flag[8] = {};
    if (GetEnvironmentVariableA(kChildVariable, flag, sizeof flag) == 0) GTEST_SKIP() << "only in the started copy";
    WriteAutoStartEntry(true);
}

}  // namespace
