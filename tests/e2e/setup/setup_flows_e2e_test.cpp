// MewlarkSetup.exe as a process: install, uninstall through its copy, the failures, the
// rights check, each message box answered and read byte for byte.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include "tests/e2e/setup/setup_process.h"

using namespace setup_test;
using Lines = std::vector<std::string>;

namespace {

const std::string kId = "MewlarkE2E" + std::to_string(GetCurrentProcessId());
const std::string kKey = "Software\\" + kId;
const std::string kEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kId;
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const std::string kTitle = Cp932(u8"テスト表示");
const std::string kError = Cp932(u8"エラー");  // the platform's caption of an error box without one

// Waits until a probe's record file holds "done" (the probe has ended).
bool ProbeFinished(const std::string& record) {
    const DWORD start = GetTickCount();
    while (ReadText(record).find("done") == std::string::npos && GetTickCount() - start < 30000) Sleep(50);
    return ReadText(record).find("done") != std::string::npos;
}

class SetupProgram : public SetupTest {
protected:
    void SetUp() override {
        CreateDirectoryA(data.c_str(), nullptr);
        CopyFileA((BinDir() + "\\setup_test_probe.exe").c_str(), (source + "\\probe.exe").c_str(), FALSE);
        CopyFileA((BinDir() + "\\setup_test_selfreg.dll").c_str(), (source + "\\server.dll").c_str(), FALSE);
        SetEnvironmentVariableA("SETUP_TEST_CALLS", calls.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableA("SETUP_TEST_CALLS", nullptr);
        DeleteTree(HKEY_CURRENT_USER, kKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kEntry);
        RemoveTree(programs + "\\" + kId);
    }

    // The full script of this test product; commands end with a bare word, so that the
    // profile reader keeps their quotes.
    std::string Script() const {
        return "[init]\r\nProductID=" + kId + "\r\nProductTitle=" + kTitle + "\r\nInstallDir=" + install +
               "\r\nUniqueName=" + kId + "\r\nStart=\"%InstallDir%\\probe.exe\" \"" + temp + "\\start.txt\" 0\r\n"
               "[PreInstallExec]\r\nExec0=\"%BaseDir%\\probe.exe\" \"" + temp + "\\pre.txt\" 0\r\n"
               "[InstallExec]\r\nExec3=&\"%InstallDir%\\probe.exe\" \"" + temp + "\\post.txt\" 0\r\n"
               "[InstallRegistry]\r\n"
               "HKCU," + kKey + ",Name,,text,u\r\n"
               "HKLM," + kKey + ",,,,u\r\n"
               "HKLM,\\" + kKey + "\\Machine,Count,DWord,42\r\n"
               "HKCU," + kKey + ",Skipped,string,nothing,u\r\n"
               "#HKCU," + kKey + ",Comment,,x,u\r\n"
               "HKCU," + kKey + ",Short,\r\n"
               "HKCU," + kKey + "\\OnlyDefault,,,default,eu\r\n"
               "HKCU," + kKey + "\\Named,,,default,eu\r\n"
               "HKCU," + kKey + ",Upper,,kept,U\r\n"
               "[InstallFiles]\r\n"
               "%InstallDir%\\sub\\,probe.exe\r\n"
               "%InstallDir%\\,server.dll,SelfRegister\r\n"
               "%InstallDir%\\,probe.exe," + kId + "\\Probe.lnk\r\n"
               "%InstallDir%\\,readme.txt,\r\n"
               "[UninstallFiles]\r\n%InstallDir%\\*.log\r\n" + data + "\\*\r\n";
    }
    // Installs the test product, answering "Start" with No.
    void Install() const {
        WriteText(source + "\\setup.ini", Script());
        AnswerBoxes(Run(Setup()), {IDNO});
    }
    // Runs the uninstaller, answers its question with Yes and returns the copy it started.
    ChildProcess HandOver(const std::string& program, const std::string& arguments = std::string()) const {
        const ChildProcess first = Run(program, arguments);
        AnswerBoxes(first, {IDYES});
        return ChildOf(first.Id());
    }
    bool EntryListed() const { return KeyExists(HKEY_LOCAL_MACHINE, kEntry); }

    const std::string data = scratch / "data";
    // "表" ends in a "\" byte; neither folder exists before the install.
    const std::string install = scratch / Cp932(u8"表示\\inst");
    const std::string calls = scratch / "server.calls";
};

TEST_F(SetupProgram, InstallsEverythingTheScriptListsAndUninstallsItThroughItsCopy) {
    WriteText(source + "\\setup.ini", Script());
    const std::string shortcut = programs + "\\" + kId + "\\Probe.lnk";

    // "Start" answered No: no completion message follows.
    std::vector<SeenBox> seen = AnswerBoxes(Run(Setup()), {IDNO});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, kTitle);
    EXPECT_EQ(seen[0].text, Cp932(u8"インストールが完了しました。\r\n\"") + kTitle + Cp932(u8"\" を今すぐ起動しますか？"));
    EXPECT_EQ(seen[0].buttons, (std::vector<int>{IDYES, IDNO}));
    const std::string copied = "Success : Copy File \"" + source;
    EXPECT_EQ(LogEntries(Log()), (Lines{
        "Info : start setup",
        "Success : Write Registry \"HKCU\\" + kKey + "\",\"Name\"=\"text\"",
        "Success : Write Registry \"HKLM\\" + kKey + "\",\"\"=\"\"",
        "Success : Write Registry \"HKLM\\" + kKey + "\\Machine\",\"Count\"=\"42\"",
        "Success : Write Registry \"HKCU\\" + kKey + "\\OnlyDefault\",\"\"=\"default\"",
        "Success : Write Registry \"HKCU\\" + kKey + "\\Named\",\"\"=\"default\"",
        "Success : Write Registry \"HKCU\\" + kKey + "\",\"Upper\"=\"kept\"",
        "Success : Create Directory \"" + install + "\\sub\"",
        copied + "\\probe.exe\" to \"" + install + "\\sub\\probe.exe\"",
        copied + "\\server.dll\" to \"" + install + "\\server.dll\"",
        "Info : register " + install + "\\server.dll",
        copied + "\\probe.exe\" to \"" + install + "\\probe.exe\"",
        "Success : Create Directory \"" + programs + "\\" + kId + "\"",
        "Success : Create Shortcut \"" + shortcut + "\"",
        copied + "\\readme.txt\" to \"" + install + "\\readme.txt\"",
        "Skip : Create Directory \"" + programs + "\"",
        "Error : Create Shortcut \"" + programs + "\\\"",
        copied + "\\setup.ini\" to \"" + install + "\\setup.ini\"",
        copied + "\\MewlarkSetup.exe\" to \"" + install + "\\uninstall.exe\""}));

    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kKey, "Name").data, "text");
    const RegistryValue count = ReadValue(HKEY_LOCAL_MACHINE, kKey + "\\Machine", "Count");
    EXPECT_EQ(count.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(count.data, std::string("\x2A\0\0\0", 4));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, "Skipped").found);
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, "Short").found);
    EXPECT_EQ(ReadText(calls), "register\r\n");
    EXPECT_TRUE(IsFile(shortcut));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kEntry, "DisplayName").data, kTitle);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kEntry, "UninstallString").data, "\"" + install + "\\uninstall.exe\" /u");
    EXPECT_EQ(ReadText(temp + "\\pre.txt").find("done"), ReadText(temp + "\\pre.txt").size() - 6);
    EXPECT_FALSE(IsFile(temp + "\\start.txt"));

    // A second install over the first, "Start" answered Yes: the log holds only this one.
    seen = AnswerBoxes(Run(Setup()), {IDYES});
    EXPECT_EQ(seen.size(), 1u);
    const Lines second = LogEntries(Log());
    EXPECT_EQ(std::count(second.begin(), second.end(), "Info : start setup"), 1);
    EXPECT_EQ(second.back(), copied + "\\MewlarkSetup.exe\" to \"" + install + "\\uninstall.exe\"");
    for (const char* record : {"\\start.txt", "\\post.txt"}) EXPECT_TRUE(ProbeFinished(temp + record)) << record;
    const std::string installLog = ReadText(Log());

    // What the product does meanwhile: a named value, logs, data with a subfolder.
    SetString(HKEY_CURRENT_USER, kKey + "\\Named", "added", "x");
    WriteText(install + "\\run.log", "log");
    WriteText(data + "\\a.dat", "a");
    CreateDirectoryA((data + "\\keep").c_str(), nullptr);

    // The uninstaller answered No: nothing changes.
    const ChildProcess declined = Run(install + "\\uninstall.exe");
    seen = AnswerBoxes(declined, {IDNO});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, kTitle + Cp932(u8" アンインストーラ"));
    EXPECT_EQ(seen[0].text, "\"" + kTitle + Cp932(u8"\" のアンインストールを開始します。"));
    EXPECT_EQ(seen[0].defaultButton, IDNO);
    EXPECT_FALSE(ChildOf(declined.Id(), nullptr, 500).IsValid());
    EXPECT_TRUE(EntryListed());

    // Yes: the copy removes everything listed, then itself at the next restart.
    const ChildProcess copy = HandOver(install + "\\uninstall.exe");
    ASSERT_TRUE(copy.IsValid());
    seen = AnswerBoxes(copy, {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, kTitle);
    EXPECT_EQ(seen[0].text, "\"" + kTitle + Cp932(u8"\" のアンインストールが完了しました。"));
    EXPECT_FALSE(EntryListed());
    EXPECT_FALSE(IsFolder(install));
    EXPECT_FALSE(IsFolder(programs + "\\" + kId));
    EXPECT_TRUE(IsFolder(programs));
    EXPECT_FALSE(IsFile(data + "\\a.dat"));
    EXPECT_TRUE(IsFolder(data + "\\keep"));
    EXPECT_EQ(ReadText(calls), "register\r\nregister\r\nunregister\r\n");
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, "Name").found);
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, kKey, "Upper").found);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kKey + "\\OnlyDefault"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kKey + "\\Named"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(ReadText(Log()), installLog);

    // The copy, "uni" and a number in the temporary folder, goes at the next restart.
    const RegistryValue renames = ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations");
    EXPECT_NE(renames.data.find(temp + "\\uni"), std::string::npos);
}

TEST_F(SetupProgram, EachInstallFailureShowsOneErrorOpensTheLogAndUndoesNothing) {
    const std::string init = "[init]\r\nProductID=" + kId + "\r\nProductTitle=" + kTitle + "\r\n";
    const std::string missing = source + "\\missing.exe";
    const std::string copyFailed = "Copy File \"" + missing + "\" to \"" + install + "\\missing.exe\" Error 2";
    // One failing install each: the log's last lines.
    const std::vector<std::tuple<const char*, std::string, Lines>> cases{
        {"uninstaller copy", init + "InstallDir=" + install + "\r\n",
         {"Error : Copy File \"" + source + "\\setup.ini\" to \"" + install + "\\setup.ini\" Error 3",
          "Info : Exception \"" + Cp932(u8"アンインストーラのコピーでエラーが発生しました") + "\""}},
        {"file copy", init + "InstallDir=" + install + "\r\n[InstallFiles]\r\n%InstallDir%\\,missing.exe\r\n",
         {"Success : Create Directory \"" + install + "\"", "Error : " + copyFailed,
          "Info : Exception \"" + copyFailed + "\""}},
        {"command", init + "InstallDir=" + install + "\r\n[PreInstallExec]\r\nExec0=%BaseDir%\\missing.exe /x\r\n",
         {"Info : start setup", "Info : Exception \"2 ... Exec Error " + missing + " /x\""}},
        {"registry key", init + "InstallDir=" + install + "\r\n[InstallRegistry]\r\nHKCU," + std::string(300, 'k') + ",Lost,,x\r\n",
         {"Info : start setup", "Info : Exception \"'Lost" + Cp932(u8"' の設定に失敗しました") + "\""}},
        {"installation folder", init,
         {"Info : start setup", "Info : Exception \"" + Cp932(u8"インストール先 \"\" にはインストールできません") + "\""}},
        {"script", std::string(),
         {"Info : start setup", "Info : Exception \"" + Cp932(u8"ファイル ") + source + Cp932(u8"\\setup.ini は開けません") + "\""}},
    };
    for (const auto& [name, script, lastLines] : cases) {
        SCOPED_TRACE(name);
        DeleteFileA((source + "\\setup.ini").c_str());
        if (!script.empty()) WriteText(source + "\\setup.ini", script);
        const ChildProcess setup = Run(Setup());
        const std::vector<SeenBox> seen = AnswerBoxes(setup, {IDOK});
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, kError);
        EXPECT_EQ(seen[0].text, Cp932(u8"インストール中にエラーが発生しました。\r\n再起動してインストールをやり直すか、何度もエラーが発生する場合は\r\n") +
                                    Log() + Cp932(u8" の内容を添付してメールでご連絡ください。"));
        EXPECT_TRUE(NotepadShows(setup.Id(), "hcSetup.log"));
        const Lines log = LogEntries(Log());
        ASSERT_GE(log.size(), lastLines.size());
        EXPECT_EQ(Lines(log.end() - lastLines.size(), log.end()), lastLines);
        EXPECT_FALSE(EntryListed());
    }
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, std::string(), "Lost").found);
    EXPECT_TRUE(IsFolder(install));
}

TEST_F(SetupProgram, ARunningProductIsNeitherInstalledNorUninstalled) {
    Install();
    const HANDLE product = CreateMutexA(nullptr, TRUE, kId.c_str());
    const std::string again = Cp932(u8"\" を終了させてもう一度実行してください。");
    DeleteFileA(Log().c_str());
    std::vector<SeenBox> seen = AnswerBoxes(Run(Setup()), {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, kError);
    EXPECT_EQ(seen[0].text, "\"" + kTitle + Cp932(u8"\" が起動中のためインストールできません。\r\n\"") + kTitle + again);
    EXPECT_FALSE(IsFile(Log()));

    // The copy waits for its starter only; the product keeps the mutex, so it is refused.
    seen = AnswerBoxes(HandOver(install + "\\uninstall.exe"), {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "\"" + kTitle + Cp932(u8"\" が起動中のためアンインストールできません。\r\n\"") + kTitle + again);
    EXPECT_TRUE(EntryListed());
    EXPECT_TRUE(IsFile(install + "\\probe.exe"));
    CloseHandle(product);
}

TEST_F(SetupProgram, AFileInUseCancelledStopsTheUninstallAndKeepsTheEntry) {
    Install();
    const std::string held = install + "\\server.dll";
    const HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const std::vector<SeenBox> seen = AnswerBoxes(HandOver(install + "\\uninstall.exe"), {IDRETRY, IDCANCEL, IDOK});
    CloseHandle(file);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].caption, Cp932(u8"削除"));
    EXPECT_EQ(seen[1].text, held + Cp932(u8" を削除できません。\r\n\"") + kTitle + Cp932(u8"\" を使用中の場合は終了させてください。"));
    EXPECT_EQ(seen[1].buttons, (std::vector<int>{IDCANCEL, IDRETRY}));
    EXPECT_EQ(seen[2].caption, kError);
    EXPECT_EQ(seen[2].text, Cp932(u8"アンインストールを中断しました"));
    EXPECT_TRUE(EntryListed());
    // What went before the file in use stays removed.
    EXPECT_FALSE(IsFile(install + "\\sub\\probe.exe"));
    EXPECT_TRUE(IsFile(install + "\\uninstall.exe"));
}

TEST_F(SetupProgram, TheSwitchFromTheSetupFolderUninstallsWithTheScriptBesideIt) {
    Install();
    EXPECT_EQ(AnswerBoxes(HandOver(Setup(), "/u"), {IDOK}).size(), 1u);
    EXPECT_FALSE(EntryListed());
    EXPECT_FALSE(IsFile(install + "\\probe.exe"));
    // The clean-up takes the script it ran on; the setup program keeps its folder.
    EXPECT_FALSE(IsFile(source + "\\setup.ini"));
    EXPECT_TRUE(IsFile(Setup()));
    EXPECT_TRUE(IsFile(install + "\\uninstall.exe"));
}

TEST_F(SetupProgram, AUserWithoutAdministratorRightsIsRefusedEveryWay) {
    Install();
    DeleteFileA(Log().c_str());
    // Nobody may set values or make keys below the machine's software key for a while.
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0, READ_CONTROL | WRITE_DAC, &key);
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<char> saved(size);
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, saved.data(), &size);
    PSECURITY_DESCRIPTOR denying = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x6;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &denying, nullptr);
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, denying);
    LocalFree(denying);
    struct Restore {
        HKEY key;
        std::vector<char> saved;
        ~Restore() {
            RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, saved.data());
            RegCloseKey(key);
        }
    };
    const Restore restore{key, saved};

    const std::string uninstaller = install + "\\uninstall.exe";
    for (const auto& [program, arguments] : {std::pair{Setup(), std::string()}, {uninstaller, std::string()},
                                             {uninstaller, "\"/ux\" \"" + install + "\\setup.ini\""}}) {
        SCOPED_TRACE(program + " " + arguments);
        const ChildProcess refused = Run(program, arguments);
        const std::vector<SeenBox> seen = AnswerBoxes(refused, {IDOK});
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, kError);
        EXPECT_EQ(seen[0].text, Cp932(u8"インストールに必要な権限がありません。\r\n管理者権限のユーザでログインしてインストールしてください。"));
        EXPECT_FALSE(ChildOf(refused.Id(), nullptr, 200).IsValid());
    }
    EXPECT_TRUE(EntryListed());
    EXPECT_TRUE(IsFile(install + "\\probe.exe"));
    EXPECT_FALSE(IsFile(Log()));
}

}  // namespace
