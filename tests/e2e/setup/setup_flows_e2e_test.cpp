// MewlarkSetup.exe as a process: install, uninstall through its copy, the failures, the
// rights check, each message box answered and read byte for byte.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include "tests/e2e/setup/setup_process.h"

using namespace setup_test;
using Lines = std::vector<std::string>;

namespace {

const std::string kId = "MewlarkE2E" + std::to_string(GetCurrentProcessId());
const std::string kKey = "Software\\" + kId;
const std::string kUninstallList = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kEntry = kUninstallList + "\\" + kId;
const char kPending[] = "PendingFileRenameOperations";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

std::string ProgramsDir() {
    const std::string shell = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    return ReadValue(HKEY_LOCAL_MACHINE, shell, "Common Programs").data;
}

// The texts the program shows, in code page 932.
struct Texts {
    std::string title = Cp932(u8"テスト表示");
    std::string error = Cp932(u8"エラー");  // the platform's caption of an error box without one
    std::string InstallFailed(const std::string& log) const {
        return Cp932(u8"インストール中にエラーが発生しました。\r\n再起動してインストールをやり直すか、何度もエラーが発生する場合は\r\n") +
               log + Cp932(u8" の内容を添付してメールでご連絡ください。");
    }
};

class SetupProgram : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& folder : {source, temp, data}) CreateDirectoryA(folder.c_str(), nullptr);
        for (const auto& [from, to] : {std::pair{"MewlarkSetup.exe", "MewlarkSetup.exe"},
                                       {"setup_test_probe.exe", "probe.exe"}, {"setup_test_selfreg.dll", "server.dll"}}) {
            CopyFileA((BinDir() + "\\" + from).c_str(), (source + "\\" + to).c_str(), FALSE);
        }
        WriteText(source + "\\readme.txt", "readme");
        SetEnvironmentVariableA("SETUP_TEST_CALLS", calls.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableA("SETUP_TEST_CALLS", nullptr);
        DeleteTree(HKEY_CURRENT_USER, kKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kEntry);
        RemoveTree(ProgramsDir() + "\\" + kId);
    }

    // The full script of this test product; commands end with a bare word, so that the
    // profile reader keeps their quotes.
    std::string Script() const {
        return "[init]\r\nProductID=" + kId + "\r\nProductTitle=" + texts.title + "\r\nInstallDir=" + install +
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
    ChildProcess Run(const std::string& program, const std::string& arguments = std::string()) const {
        return StartProgram("\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments), temp);
    }
    // Runs the uninstaller, answers its question with Yes and returns the copy it started.
    ChildProcess HandOver(const std::string& program, const std::string& arguments = std::string()) const {
        const ChildProcess first = Run(program, arguments);
        const std::vector<SeenBox> seen = AnswerBoxes(first, {IDYES});
        return ChildOf(first.Id());
    }
    std::string Setup() const { return source + "\\MewlarkSetup.exe"; }
    std::string Log() const { return temp + "\\hcSetup.log"; }
    bool EntryListed() const { return KeyExists(HKEY_LOCAL_MACHINE, kEntry); }

    Texts texts;
    ScratchFolder scratch;
    const std::string source = scratch / "source";
    const std::string temp = scratch / "temp";
    const std::string data = scratch / "data";
    // "表" ends in a "\" byte; neither folder exists before the install.
    const std::string install = scratch / Cp932(u8"表示\\inst");
    const std::string calls = scratch / "server.calls";
    const SavedValue pending{HKEY_LOCAL_MACHINE, kSessionManager, kPending};
};

TEST_F(SetupProgram, InstallsEverythingTheScriptListsAndUninstallsItThroughItsCopy) {
    WriteText(source + "\\setup.ini", Script());
    const std::string programs = ProgramsDir();
    const std::string shortcut = programs + "\\" + kId + "\\Probe.lnk";

    // "Start" answered No: no completion message follows.
    std::vector<SeenBox> seen = AnswerBoxes(Run(Setup()), {IDNO});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, texts.title);
    EXPECT_EQ(seen[0].text, Cp932(u8"インストールが完了しました。\r\n\"") + texts.title + Cp932(u8"\" を今すぐ起動しますか？"));
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
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kEntry, "DisplayName").data, texts.title);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kEntry, "UninstallString").data, "\"" + install + "\\uninstall.exe\" /u");
    EXPECT_EQ(ReadText(temp + "\\pre.txt").find("done"), ReadText(temp + "\\pre.txt").size() - 6);
    EXPECT_FALSE(IsFile(temp + "\\start.txt"));

    // A second install over the first, "Start" answered Yes: the log holds only this one.
    seen = AnswerBoxes(Run(Setup()), {IDYES});
    EXPECT_EQ(seen.size(), 1u);
    const Lines second = LogEntries(Log());
    EXPECT_EQ(std::count(second.begin(), second.end(), "Info : start setup"), 1);
    EXPECT_EQ(second.back(), copied + "\\MewlarkSetup.exe\" to \"" + install + "\\uninstall.exe\"");
    for (const char* record : {"\\start.txt", "\\post.txt"}) {
        const DWORD start = GetTickCount();
        while (ReadText(temp + record).find("done") == std::string::npos && GetTickCount() - start < 30000) Sleep(50);
        EXPECT_NE(ReadText(temp + record).find("done"), std::string::npos) << record;
    }
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
    EXPECT_EQ(seen[0].caption, texts.title + Cp932(u8" アンインストーラ"));
    EXPECT_EQ(seen[0].text, "\"" + texts.title + Cp932(u8"\" のアンインストールを開始します。"));
    EXPECT_EQ(seen[0].defaultButton, IDNO);
    EXPECT_FALSE(ChildOf(declined.Id(), nullptr, 500).IsValid());
    EXPECT_TRUE(EntryListed());

    // Yes: the copy removes everything listed, then itself at the next restart.
    const ChildProcess copy = HandOver(install + "\\uninstall.exe");
    ASSERT_TRUE(copy.IsValid());
    seen = AnswerBoxes(copy, {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, texts.title);
    EXPECT_EQ(seen[0].text, "\"" + texts.title + Cp932(u8"\" のアンインストールが完了しました。"));
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

    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((temp + "\\uni*.tmp").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    const std::string copyPath = temp + "\\" + found.cFileName;
    EXPECT_NE(ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, kPending).data.find(copyPath), std::string::npos);
}

// One failing install: its error box, the log opened in notepad, and the log's last lines.
struct FailingInstall {
    const char* name;
    std::string script;  // empty: no setup.ini at all
    Lines lastLines;
};

TEST_F(SetupProgram, EachInstallFailureShowsOneErrorOpensTheLogAndUndoesNothing) {
    const std::string init = "[init]\r\nProductID=" + kId + "\r\nProductTitle=" + texts.title +
                             "\r\nInstallDir=" + install + "\r\n";
    const std::string missing = source + "\\missing.exe";
    const std::string copyFailed = "Copy File \"" + missing + "\" to \"" + install + "\\missing.exe\" Error 2";
    const std::string longKey = std::string(300, 'k');
    const std::vector<FailingInstall> cases{
        {"uninstaller copy", init,
         {"Error : Copy File \"" + source + "\\setup.ini\" to \"" + install + "\\setup.ini\" Error 3",
          "Info : Exception \"" + Cp932(u8"アンインストーラのコピーでエラーが発生しました") + "\""}},
        {"file copy", init + "[InstallFiles]\r\n%InstallDir%\\,missing.exe\r\n",
         {"Success : Create Directory \"" + install + "\"", "Error : " + copyFailed,
          "Info : Exception \"" + copyFailed + "\""}},
        {"command", init + "[PreInstallExec]\r\nExec0=%BaseDir%\\missing.exe /x\r\n",
         {"Info : start setup", "Info : Exception \"2 ... Exec Error " + missing + " /x\""}},
        {"registry key", init + "[InstallRegistry]\r\nHKCU," + longKey + ",Lost,,x\r\n",
         {"Info : start setup", "Info : Exception \"'Lost" + Cp932(u8"' の設定に失敗しました") + "\""}},
        {"installation folder", "[init]\r\nProductID=" + kId + "\r\nProductTitle=" + texts.title + "\r\n",
         {"Info : start setup", "Info : Exception \"" + Cp932(u8"インストール先 \"\" にはインストールできません") + "\""}},
        {"script", std::string(),
         {"Info : start setup",
          "Info : Exception \"" + Cp932(u8"ファイル ") + source + Cp932(u8"\\setup.ini は開けません") + "\""}},
    };
    for (const FailingInstall& failing : cases) {
        SCOPED_TRACE(failing.name);
        DeleteFileA((source + "\\setup.ini").c_str());
        if (!failing.script.empty()) WriteText(source + "\\setup.ini", failing.script);
        const ChildProcess setup = Run(Setup());
        const std::vector<SeenBox> seen = AnswerBoxes(setup, {IDOK});
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].caption, texts.error);
        EXPECT_EQ(seen[0].text, texts.InstallFailed(Log()));
        EXPECT_TRUE(EndNotepadShowing(setup.Id(), "hcSetup.log"));
        const Lines log = LogEntries(Log());
        ASSERT_GE(log.size(), failing.lastLines.size());
        EXPECT_EQ(Lines(log.end() - failing.lastLines.size(), log.end()), failing.lastLines);
        EXPECT_FALSE(EntryListed());
    }
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, std::string(), "Lost").found);
    EXPECT_TRUE(IsFolder(install));
}

TEST_F(SetupProgram, ARunningProductIsNeitherInstalledNorUninstalled) {
    WriteText(source + "\\setup.ini", Script());
    AnswerBoxes(Run(Setup()), {IDNO});
    const HANDLE product = CreateMutexA(nullptr, TRUE, kId.c_str());
    const std::string again = Cp932(u8"\" を終了させてもう一度実行してください。");

    DeleteFileA(Log().c_str());
    std::vector<SeenBox> seen = AnswerBoxes(Run(Setup()), {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, texts.error);
    EXPECT_EQ(seen[0].text, "\"" + texts.title + Cp932(u8"\" が起動中のためインストールできません。\r\n\"") + texts.title + again);
    EXPECT_FALSE(IsFile(Log()));

    // The copy waits for its starter only; the product keeps the mutex, so it is refused.
    const ChildProcess copy = HandOver(install + "\\uninstall.exe");
    seen = AnswerBoxes(copy, {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text,
              "\"" + texts.title + Cp932(u8"\" が起動中のためアンインストールできません。\r\n\"") + texts.title + again);
    EXPECT_TRUE(EntryListed());
    EXPECT_TRUE(IsFile(install + "\\probe.exe"));
    CloseHandle(product);
}

TEST_F(SetupProgram, AFileInUseCancelledStopsTheUninstallAndKeepsTheEntry) {
    WriteText(source + "\\setup.ini", Script());
    AnswerBoxes(Run(Setup()), {IDNO});
    const std::string held = install + "\\server.dll";
    const HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);

    const ChildProcess copy = HandOver(install + "\\uninstall.exe");
    const std::vector<SeenBox> seen = AnswerBoxes(copy, {IDRETRY, IDCANCEL, IDOK});
    CloseHandle(file);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].caption, Cp932(u8"削除"));
    EXPECT_EQ(seen[1].text, held + Cp932(u8" を削除できません。\r\n\"") + texts.title +
                                Cp932(u8"\" を使用中の場合は終了させてください。"));
    EXPECT_EQ(seen[2].caption, texts.error);
    EXPECT_EQ(seen[2].text, Cp932(u8"アンインストールを中断しました"));
    EXPECT_TRUE(EntryListed());
    // What went before the file in use stays removed.
    EXPECT_FALSE(IsFile(install + "\\sub\\probe.exe"));
    EXPECT_TRUE(IsFile(install + "\\uninstall.exe"));
}

TEST_F(SetupProgram, TheSwitchFromTheSetupFolderUninstallsWithTheScriptBesideIt) {
    WriteText(source + "\\setup.ini", Script());
    AnswerBoxes(Run(Setup()), {IDNO});
    const ChildProcess copy = HandOver(Setup(), "/u");
    EXPECT_EQ(AnswerBoxes(copy, {IDOK}).size(), 1u);
    EXPECT_FALSE(EntryListed());
    EXPECT_FALSE(IsFile(install + "\\probe.exe"));
    // The clean-up takes the script it ran on; the setup program keeps its folder.
    EXPECT_FALSE(IsFile(source + "\\setup.ini"));
    EXPECT_TRUE(IsFile(Setup()));
    EXPECT_TRUE(IsFile(install + "\\uninstall.exe"));
}

TEST_F(SetupProgram, NoScriptLineReachesTheUninstallListTheHiveOrADrivesRoot) {
    // No product id; an empty key path; a pattern whose macro is empty.
    WriteText(source + "\\setup.ini", "[init]\r\nProductTitle=" + texts.title +
                                           "\r\n[InstallRegistry]\r\nHKCU,,,,,u\r\nHKCU,\\,,,,eu\r\n"
                                           "[UninstallFiles]\r\n%InstallDir%\\*\r\n");
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string canary = std::string(windows, 3) + kId + ".txt";
    WriteText(canary, "x");
    const RegistryValue before = ReadValue(HKEY_LOCAL_MACHINE, kUninstallList, "DisplayName");

    const ChildProcess copy = HandOver(Setup(), "/u");
    EXPECT_EQ(AnswerBoxes(copy, {IDOK}).size(), 1u);
    EXPECT_TRUE(IsFile(canary));
    DeleteFileA(canary.c_str());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallList));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallList, "DisplayName").found, before.found);

    // An install and a refused uninstall of that script leave the list alone too.
    WriteText(source + "\\setup.ini", "[init]\r\nProductTitle=" + texts.title + "\r\nInstallDir=" + source +
                                           "\\inst\r\n[InstallFiles]\r\n%InstallDir%\\,readme.txt\r\n");
    AnswerBoxes(Run(Setup()), {IDOK});
    EXPECT_FALSE(ReadValue(HKEY_LOCAL_MACHINE, kUninstallList, "UninstallString").found);
}

// Takes full access to the machine's software key away from everyone for a while.
class WithoutAdminRights {
public:
    WithoutAdminRights() {
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, READ_CONTROL | WRITE_DAC, &key_);
        DWORD size = 0;
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(), &size);
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL dacl = nullptr;
        GetSecurityDescriptorDacl(saved_.data(), &present, &dacl, &defaulted);

        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        EXPLICIT_ACCESSA deny = {};
        deny.grfAccessPermissions = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
        deny.grfAccessMode = DENY_ACCESS;
        deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        deny.Trustee.ptstrName = static_cast<LPSTR>(everyone);
        PACL denying = nullptr;
        SetEntriesInAclA(1, &deny, present ? dacl : nullptr, &denying);
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, denying, FALSE);
        RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &descriptor);
        LocalFree(denying);
        FreeSid(everyone);
    }
    ~WithoutAdminRights() {
        RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data());
        RegCloseKey(key_);
    }
    WithoutAdminRights(const WithoutAdminRights&) = delete;
    WithoutAdminRights& operator=(const WithoutAdminRights&) = delete;

private:
    static constexpr const char* kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    HKEY key_ = nullptr;
    std::vector<char> saved_;
};

TEST_F(SetupProgram, AUserWithoutAdministratorRightsIsRefusedEveryWay) {
    WriteText(source + "\\setup.ini", Script());
    AnswerBoxes(Run(Setup()), {IDNO});
    const std::string programs = install + "\\uninstall.exe";
    DeleteFileA(Log().c_str());
    {
        const WithoutAdminRights user;
        for (const auto& [program, arguments] : {std::pair{Setup(), std::string()}, {programs, std::string()},
                                                 {programs, "\"/ux\" \"" + install + "\\setup.ini\""}}) {
            SCOPED_TRACE(arguments);
            const ChildProcess refused = Run(program, arguments);
            const std::vector<SeenBox> seen = AnswerBoxes(refused, {IDOK});
            ASSERT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen[0].caption, texts.error);
            EXPECT_EQ(seen[0].text, Cp932(u8"インストールに必要な権限がありません。\r\n管理者権限のユーザでログインしてインストールしてください。"));
            EXPECT_FALSE(ChildOf(refused.Id(), nullptr, 200).IsValid());
        }
    }
    EXPECT_TRUE(EntryListed());
    EXPECT_TRUE(IsFile(install + "\\probe.exe"));
    EXPECT_FALSE(IsFile(Log()));
}

}  // namespace
