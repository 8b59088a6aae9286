// The setup operations on the real file system, registry, shell and processes of the prefix.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include "setup/SetupError.h"
#include "setup/SetupLog.h"
#include "setup/SetupOperations.h"
#include "tests/unit/setup/setup_test_support.h"

using namespace setup_test;
using Lines = std::vector<std::string>;

namespace {

const char kQuollName[] = "QuollLibrary.Quoll";
const char kQuollClass[] = "CLSID\\{6D8F4E1C-5A43-4B7A-9C1E-2F7B3A9D0E11}";

// Each test logs into its own scratch folder.
class Operations : public ::testing::Test {
protected:
    void SetUp() override {
        BindLog(logPath);
        OpenLog();
    }
    void TearDown() override { BindLog(std::string()); }
    Lines Log() const { return LogEntries(logPath); }
    std::string Copy(const std::string& helper, const std::string& name) const {
        CopyFileA((BinDir() + "\\" + helper).c_str(), (scratch / name).c_str(), FALSE);
        return scratch / name;
    }

    ScratchFolder scratch;
    const std::string logPath = scratch / "hcSetup.log";
};

// Waits until a probe's record file holds "done" (the probe has ended).
bool ProbeFinished(const std::string& record, DWORD timeoutMs = 30000) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (ReadText(record).find("done") != std::string::npos) return true;
        Sleep(50);
    }
    return false;
}

TEST_F(Operations, FoldersAreMadeWithTheirParentsAndLogged) {
    // "表" and "ソ" end in a "\" byte: the parents must still be found by characters.
    const std::string deep = scratch / Cp932(u8"表示\\ソフト\\c");
    EXPECT_TRUE(CreateDirectoryLogged(deep));
    EXPECT_TRUE(IsFolder(deep));
    EXPECT_TRUE(CreateDirectoryLogged(deep));

    WriteText(scratch / "file", "x");
    const std::string underFile = scratch / "file\\sub";
    EXPECT_FALSE(CreateDirectoryLogged(underFile));
    EXPECT_EQ(Log(), (Lines{"Success : Create Directory \"" + deep + "\"", "Skip : Create Directory \"" + deep + "\"",
                            "Error : Create Directory \"" + underFile + "\""}));
}

TEST_F(Operations, CopiesAreWritableAndAFailedCopyRaisesItsLoggedText) {
    const std::string source = scratch / "source.txt";
    const std::string destination = scratch / "copy.txt";
    WriteText(source, "contents");
    SetFileAttributesA(source.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(CopyFileLogged(source, destination));
    EXPECT_EQ(ReadText(destination), "contents");
    EXPECT_EQ(GetFileAttributesA(destination.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    // Over the existing copy.
    EXPECT_TRUE(CopyFileLogged(source, destination));

    const std::string missing = scratch / "missing.txt";
    const std::string failed = "Copy File \"" + missing + "\" to \"" + destination + "\" Error 2";
    try {
        CopyFileLogged(missing, destination);
        ADD_FAILURE() << "no error raised";
    } catch (const SetupError& error) {
        EXPECT_EQ(std::string(error.what()), failed);
    }
    const std::string copied = "Success : Copy File \"" + source + "\" to \"" + destination + "\"";
    EXPECT_EQ(Log(), (Lines{copied, copied, "Error : " + failed}));
}

TEST_F(Operations, ShortcutsResolveToTheirTarget) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    const std::string target = Copy("setup_test_probe.exe", "probe.exe");
    const std::string shortcut = scratch / Cp932(u8"表示.lnk");
    EXPECT_TRUE(CreateShortcut(shortcut, target));
    EXPECT_FALSE(CreateShortcut(scratch / "missing\\x.lnk", target));
    EXPECT_TRUE(lstrcmpiA(ShortcutTarget(shortcut).c_str(), target.c_str()) == 0) << ShortcutTarget(shortcut);
    CoUninitialize();
}

TEST_F(Operations, SelfRegistrationCallsTheEntryPoints) {
    const std::string dll = Copy("setup_test_selfreg.dll", "server.dll");
    EXPECT_TRUE(CallSelfRegistration(dll, true));
    EXPECT_TRUE(CallSelfRegistration(dll, false));
    EXPECT_EQ(ReadText(dll + ".calls"), "register\r\nunregister\r\n");

    // A program loads but has no entry point; a missing file does not load.
    EXPECT_FALSE(CallSelfRegistration(Copy("setup_test_probe.exe", "probe.exe"), true));
    EXPECT_FALSE(CallSelfRegistration(scratch / "missing.dll", true));
    EXPECT_TRUE(Log().empty());
}

TEST_F(Operations, BuildNumberComesOnlyFromTheJapaneseVersionString) {
    const std::string quoll = Copy("setup_test_quoll66.exe", "Quoll.exe");
    const std::string english = Copy("setup_test_selfreg.dll", "english.dll");
    const std::string none = Copy("setup_test_probe.exe", "probe.exe");
    EXPECT_EQ(GetFileBuild(quoll), "66");
    EXPECT_EQ(GetFileBuild(english), "");
    EXPECT_EQ(GetFileBuild(none), "");
    EXPECT_EQ(Log(), (Lines{"Info : Build No: " + quoll + "(66)", "Info : Build No: " + english + "()",
                            "Info : Build No: " + none + "()"}));
}

class QuollComponent : public Operations {
protected:
    void SetUp() override {
        Operations::SetUp();
        Unregister();
    }
    void TearDown() override {
        Unregister();
        Operations::TearDown();
    }
    static void Unregister() {
        DeleteTree(HKEY_CLASSES_ROOT, kQuollName);
        DeleteTree(HKEY_CLASSES_ROOT, kQuollClass);
    }
    const std::string destination = scratch / "Shared\\Quoll\\Quoll.exe";
};

TEST_F(QuollComponent, InstallsWhenNoneIsRegisteredAndOnlyNewerBuildsLater) {
    const std::string build66 = Copy("setup_test_quoll66.exe", "Quoll66.exe");
    const std::string build70 = Copy("setup_test_quoll70.exe", "Quoll70.exe");

    InstallQuollComponent(build66, destination);
    EXPECT_EQ(ReadValue(HKEY_CLASSES_ROOT, std::string(kQuollClass) + "\\LocalServer32", nullptr).data, destination);
    EXPECT_EQ(ReadText(destination + ".calls"), "/regserver\r\n");
    const std::string folder = scratch / "Shared\\Quoll";
    EXPECT_EQ(Log(), (Lines{"Info : Current Quoll = \"\".", "Success : Create Directory \"" + folder + "\"",
                            "Success : Copy File \"" + build66 + "\" to \"" + destination + "\"",
                            "Success : Copy Quoll.exe"}));

    // The same build again, and an older one: skipped, nothing copied.
    OpenLog();
    InstallQuollComponent(build66, destination);
    const Lines equal{"Info : Current Quoll = \"" + destination + "\".", "Info : Build No: " + build66 + "(66)",
                      "Info : Build No: " + destination + "(66)", "Skip : Copy Quoll.exe"};
    EXPECT_EQ(Log(), equal);

    // A newer build replaces it and registers again.
    OpenLog();
    InstallQuollComponent(build70, destination);
    EXPECT_EQ(Log(), (Lines{"Info : Current Quoll = \"" + destination + "\".", "Info : Build No: " + build70 + "(70)",
                            "Info : Build No: " + destination + "(66)",
                            "Success : Copy File \"" + build70 + "\" to \"" + destination + "\"",
                            "Success : Copy Quoll.exe"}));
    OpenLog();
    EXPECT_EQ(GetFileBuild(destination), "70");
    InstallQuollComponent(build66, destination);
    EXPECT_EQ(Log().back(), "Skip : Copy Quoll.exe");
}

TEST_F(QuollComponent, NoSourceNoWorkAndARegisteredPathThatIsNoFileIsReplaced) {
    InstallQuollComponent(scratch / "Quoll.exe", destination);
    EXPECT_TRUE(Log().empty());

    const std::string build66 = Copy("setup_test_quoll66.exe", "Quoll66.exe");
    InstallQuollComponent(build66, destination);
    // Registered with quotes, the path names no file: build 0, so even the same build goes in.
    const std::string quoted = "\"" + destination + "\"";
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_CLASSES_ROOT, (std::string(kQuollClass) + "\\LocalServer32").c_str(), 0, KEY_SET_VALUE, &key);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(quoted.c_str()),
                   static_cast<DWORD>(quoted.size() + 1));
    RegCloseKey(key);
    OpenLog();
    InstallQuollComponent(build66, destination);
    EXPECT_EQ(Log(), (Lines{"Info : Current Quoll = \"" + quoted + "\".",
                            "Success : Copy File \"" + build66 + "\" to \"" + destination + "\"",
                            "Success : Copy Quoll.exe"}));
}

TEST_F(Operations, CommandsAreWaitedForOnlyWhenAsked) {
    const std::string probe = Copy("setup_test_probe.exe", Cp932(u8"表 probe.exe"));
    const std::string waited = scratch / "waited.txt";
    EXPECT_TRUE(ExecCommand("\"" + probe + "\" \"" + waited + "\" 1500", true));
    EXPECT_NE(ReadText(waited).find("done"), std::string::npos);

    const std::string detached = scratch / "detached.txt";
    EXPECT_TRUE(ExecCommand("\"" + probe + "\" \"" + detached + "\" 3000", false));
    EXPECT_EQ(ReadText(detached).find("done"), std::string::npos);
    EXPECT_TRUE(ProbeFinished(detached));
    EXPECT_TRUE(Log().empty());
}

TEST_F(Operations, ACommandNobodyCanStartRaisesItsErrorText) {
    const std::string command = "\"" + scratch / "missing.exe" + "\" /x";
    try {
        ExecCommand(command, true);
        ADD_FAILURE() << "no error raised";
    } catch (const SetupError& error) {
        EXPECT_EQ(std::string(error.what()), "2 ... Exec Error " + command);
    }
}

TEST_F(Operations, DocumentsAreHandedToTheShellAndNotWaitedFor) {
    const std::string probe = Copy("setup_test_probe.exe", "probe.exe");
    const std::string record = scratch / "opened.txt";
    SetString(HKEY_CLASSES_ROOT, ".mwsetuptest", nullptr, "MewlarkSetupTest.Document");
    SetString(HKEY_CLASSES_ROOT, "MewlarkSetupTest.Document\\shell\\open\\command", nullptr,
              "\"" + probe + "\" \"" + record + "\" 0 \"%1\"");
    const std::string spaced = scratch / "a b.mwsetuptest";
    const std::string plain = scratch / "doc.mwsetuptest";
    WriteText(spaced, "document");
    WriteText(plain, "document");

    // Without a blank outside quotes the command goes to the shell whole; with one, as
    // program and parameters.
    EXPECT_FALSE(ExecCommand("\"" + spaced + "\"", true));
    EXPECT_TRUE(ProbeFinished(record));
    EXPECT_NE(ReadText(record).find(spaced), std::string::npos) << ReadText(record);
    DeleteFileA(record.c_str());
    EXPECT_FALSE(ExecCommand(plain + " /p", true));
    EXPECT_TRUE(ProbeFinished(record));
    EXPECT_NE(ReadText(record).find(plain), std::string::npos) << ReadText(record);

    DeleteTree(HKEY_CLASSES_ROOT, ".mwsetuptest");
    DeleteTree(HKEY_CLASSES_ROOT, "MewlarkSetupTest.Document");
}

TEST_F(Operations, DeletionAtRestartIsRecordedForTheSystem) {
    const char* manager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
    const SavedValue pendingBefore(HKEY_LOCAL_MACHINE, manager, "PendingFileRenameOperations");
    const std::string file = scratch / "copy.tmp";
    WriteText(file, "x");
    DeleteFileAtReboot(file);
    const RegistryValue pending = ReadValue(HKEY_LOCAL_MACHINE, manager, "PendingFileRenameOperations");
    EXPECT_NE(pending.data.find(file + std::string(1, '\0') + '\0'), std::string::npos);
}

}  // namespace
