// MewlarkSetup.exe as processes, its message boxes answered and read byte for byte: an install
// and an uninstall through its copy with everything a script can list, the failures, the rights
// check, hostile scripts, and the release package with its shipped setup.ini and notifier.
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <aclapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/PrefixSnapshot.h"
#include "tests/support/Processes.h"
#include "tests/support/Registry.h"
#include "tests/support/Waiting.h"
#include "tests/support/Windows.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

using namespace test;
using Lines = std::vector<std::string>;

// MewlarkSetup.exe and a readme.txt in a folder of their own (source), started with a
// temporary folder of their own (temp), both in a scratch folder.
class SetupTest : public ::testing::Test {
protected:
    SetupTest() {
        CreateDirectoryA(source.c_str(), nullptr);
        CreateDirectoryA(temp.c_str(), nullptr);
        CopyFileA((ProgramFolder() + "\\MewlarkSetup.exe").c_str(), Setup().c_str(), FALSE);
        WriteText(source + "\\readme.txt", "readme");
    }
    // The uninstall copies' folders in the system's temporary folder, which go at a restart.
    ~SetupTest() override {
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((copies + "*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
            RemoveTree(systemTemp + "\\" + found.cFileName);
        }
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
    }
    Process Run(const std::string& program, const std::string& arguments = std::string()) const {
        return Process::Start("\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments), temp);
    }
    std::string Setup() const { return source + "\\MewlarkSetup.exe"; }
    std::string Log() const { return temp + "\\hcSetup.log"; }

    ScratchFolder scratch;
    const std::string source = scratch / "source";
    const std::string temp = scratch / "temp";
    const std::string programs =  // the Programs menu of all users
        ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                   "Common Programs");
    const std::string programFiles =  // "%PF%"
        ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    const std::string systemTemp = [] {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        return std::string(windows) + "\\temp";
    }();
    const std::string copies = systemTemp + "\\hcSetup";
    // Forgets the deletions at restart that uninstalls schedule.
    const SavedValue pending{HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                             "PendingFileRenameOperations"};
};

// True when the notepad started by parentId shows fileName (it is ended with the test).
bool NotepadShows(DWORD parentId, const std::string& fileName) {
    const Process notepad = ChildOf(parentId, "notepad.exe");
    // Its window is titled with the file's name once the file is loaded.
    const std::string title = fileName + Cp932(u8" - メモ帳");
    return notepad.IsValid() && WaitFor([&] { return FindWindowA(nullptr, title.c_str()) != nullptr; }, 30000);
}

const std::string kId = "MewlarkE2E" + std::to_string(GetCurrentProcessId());
const std::string kKey = "Software\\" + kId;
const std::string kEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kId;
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const std::string kTitle = Cp932(u8"テスト表示");
const std::string kError = Cp932(u8"エラー");  // the platform's caption of an error box without one

// Waits until a probe's record file holds "done" (the probe has ended).
bool ProbeFinished(const std::string& record) {
    return WaitFor([&] { return ReadText(record).find("done") != std::string::npos; }, 30000);
}

class SetupProgram : public SetupTest {
protected:
    void SetUp() override {
        CreateDirectoryA(data.c_str(), nullptr);
        CopyFileA((ProgramFolder() + "\\setup_test_probe.exe").c_str(), (source + "\\probe.exe").c_str(), FALSE);
        CopyFileA((ProgramFolder() + "\\setup_test_selfreg.dll").c_str(), (source + "\\server.dll").c_str(), FALSE);
        SetEnvironmentVariableA("SETUP_TEST_CALLS", calls.c_str());
    }
    void TearDown() override {
        // The detached post-install command writes into the scratch folder until it ends.
        if (IsFile(temp + "\\post.txt")) ProbeFinished(temp + "\\post.txt");
        SetEnvironmentVariableA("SETUP_TEST_CALLS", nullptr);
        DeleteTree(HKEY_CURRENT_USER, kKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kKey);
        DeleteTree(HKEY_LOCAL_MACHINE, kEntry);
        RemoveTree(programs + "\\" + kId);
    }

    // The full script of this test product, or one without "Start" and the post-install
    // commands; commands end with a bare word, so that the profile reader keeps their quotes.
    std::string Script(bool start = true, bool postInstall = true) const {
        return "[init]\r\nProductID=" + kId + "\r\nProductTitle=" + kTitle + "\r\nInstallDir=" + install +
               "\r\nUniqueName=" + kId + "\r\n" +
               (start ? "Start=\"%InstallDir%\\probe.exe\" \"" + temp + "\\start.txt\" 0\r\n" : "") +
               "[PreInstallExec]\r\nExec0=\"%BaseDir%\\probe.exe\" \"" + temp + "\\pre.txt\" 0\r\n" +
               (postInstall ? "[InstallExec]\r\nExec3=&\"%BaseDir%\\probe.exe\" \"" + temp + "\\post.txt\" 3000\r\n" : "") +
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
    Process HandOver(const std::string& program, const std::string& arguments = std::string()) const {
        const Process first = Run(program, arguments);
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

    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kKey, "Name"), "text");
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey + "\\Machine", "Count"), (RegistryValue{REG_DWORD, Dword(42)}));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, "Skipped").has_value());
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, "Short").has_value());
    EXPECT_EQ(ReadText(calls), "register\r\n");
    EXPECT_TRUE(IsFile(shortcut));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kEntry, "DisplayName"), kTitle);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kEntry, "UninstallString"), "\"" + install + "\\uninstall.exe\" /u");
    EXPECT_EQ(ReadText(temp + "\\pre.txt").find("done"), ReadText(temp + "\\pre.txt").size() - 6);
    EXPECT_FALSE(IsFile(temp + "\\start.txt"));
    EXPECT_EQ(ReadText(temp + "\\post.txt").find("done"), std::string::npos) << "the \"&\" command was not waited for";

    // Without "Start", a completion box only when no post-install command runs either.
    WriteText(source + "\\setup.ini", Script(false));
    EXPECT_EQ(AnswerBoxes(Run(Setup()), {}).size(), 0u);
    WriteText(source + "\\setup.ini", Script(false, false));
    seen = AnswerBoxes(Run(Setup()), {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(std::tie(seen[0].caption, seen[0].text, seen[0].buttons),
              std::make_tuple(kTitle, "\"" + kTitle + Cp932(u8"\" のインストールが完了しました。"), std::vector<int>{IDOK}));

    // A second install over the first, "Start" answered Yes: the log holds only this one.
    WriteText(source + "\\setup.ini", Script());
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
    const Process declined = Run(install + "\\uninstall.exe");
    seen = AnswerBoxes(declined, {IDNO});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, kTitle + Cp932(u8" アンインストーラ"));
    EXPECT_EQ(seen[0].text, "\"" + kTitle + Cp932(u8"\" のアンインストールを開始します。"));
    EXPECT_EQ(seen[0].defaultButton, IDNO);
    EXPECT_FALSE(ChildOf(declined.Id(), nullptr, 500).IsValid());
    EXPECT_TRUE(EntryListed());

    // Yes: the copy removes everything listed, then itself at the next restart. It runs from a
    // folder of its own that only administrators and the system may change.
    const Process copy = HandOver(install + "\\uninstall.exe");
    ASSERT_TRUE(copy.IsValid());
    char image[MAX_PATH] = {};
    DWORD imageSize = MAX_PATH;
    ASSERT_TRUE(QueryFullProcessImageNameA(copy.Handle(), 0, image, &imageSize));
    const std::string copyFolder = std::string(image).substr(0, std::string(image).rfind('\\'));
    PSECURITY_DESCRIPTOR security = nullptr;
    char* dacl = nullptr;
    GetNamedSecurityInfoA(copyFolder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                          nullptr, &security);
    ConvertSecurityDescriptorToStringSecurityDescriptorA(security, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &dacl,
                                                         nullptr);
    // Wine keeps no access list of its own: it maps one to the folder's Unix mode and back.
    const std::string daclText(dacl != nullptr ? dacl : "");
    EXPECT_EQ(daclText.rfind("D:", 0), 0u) << copyFolder;
    for (const char* others : {";WD)", ";BU)", ";AU)"}) EXPECT_EQ(daclText.find(others), std::string::npos) << daclText;
    LocalFree(dacl);
    LocalFree(security);
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
    EXPECT_EQ(ReadText(calls), "register\r\nregister\r\nregister\r\nregister\r\nunregister\r\n") << "four installs";
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, "Name").has_value());
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, kKey, "Upper").has_value());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kKey + "\\OnlyDefault"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kKey + "\\Named"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kKey));
    EXPECT_EQ(ReadText(Log()), installLog);

    // The copy, then its folder, go at the next restart.
    const std::optional<RegistryValue> renames =
        ReadValue(HKEY_LOCAL_MACHINE, kSessionManager, "PendingFileRenameOperations");
    ASSERT_TRUE(renames);
    const std::size_t copyEntry = renames->bytes.find(image + std::string(1, '\0'));
    const std::size_t folderEntry = renames->bytes.find(copyFolder + std::string(1, '\0'));
    EXPECT_TRUE(copyEntry != std::string::npos && folderEntry != std::string::npos && copyEntry < folderEntry);
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
        {"\"?\" before an unquoted path", init + "InstallDir=" + install + "\r\n[PreInstallExec]\r\nExec0=?%BaseDir%\\missing.exe /x\r\n",
         {"Info : start setup", "Info : Exception \"161 ... Exec Error ?" + missing + " /x\""}},
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
        const Process setup = Run(Setup());
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
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, std::string(), "Lost").has_value());
    EXPECT_TRUE(IsFolder(install));
}

TEST_F(SetupProgram, ARunningProductOrACancelledDeletionKeepsTheProductAndTheSwitchUninstallsBesideTheSetup) {
    Install();
    const HANDLE product = CreateMutexA(nullptr, TRUE, kId.c_str());
    const std::string again = Cp932(u8"\" を終了させてもう一度実行してください。");
    DeleteFileA(Log().c_str());
    std::vector<SeenBox> seen = AnswerBoxes(Run(Setup()), {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(std::tie(seen[0].caption, seen[0].text),
              std::make_tuple(kError, "\"" + kTitle + Cp932(u8"\" が起動中のためインストールできません。\r\n\"") + kTitle + again));
    EXPECT_FALSE(IsFile(Log()));
    // The copy waits for its starter only; the product keeps the mutex, so it is refused.
    seen = AnswerBoxes(HandOver(install + "\\uninstall.exe"), {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "\"" + kTitle + Cp932(u8"\" が起動中のためアンインストールできません。\r\n\"") + kTitle + again);
    EXPECT_TRUE(EntryListed() && IsFile(install + "\\probe.exe"));
    CloseHandle(product);

    const std::string held = install + "\\server.dll";
    const HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    seen = AnswerBoxes(HandOver(install + "\\uninstall.exe"), {IDRETRY, IDCANCEL, IDOK});
    CloseHandle(file);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(std::tie(seen[1].caption, seen[1].text, seen[1].buttons),
              std::make_tuple(Cp932(u8"削除"), held + Cp932(u8" を削除できません。\r\n\"") + kTitle +
                                                     Cp932(u8"\" を使用中の場合は終了させてください。"),
                              std::vector<int>{IDCANCEL, IDRETRY}));
    EXPECT_EQ(std::tie(seen[2].caption, seen[2].text), std::make_tuple(kError, Cp932(u8"アンインストールを中断しました")));
    EXPECT_TRUE(EntryListed());
    // What went before the file in use stays removed.
    EXPECT_FALSE(IsFile(install + "\\sub\\probe.exe"));

    // "/u" beside the script: the clean-up takes the script it ran on; the program keeps its folder.
    EXPECT_EQ(AnswerBoxes(HandOver(Setup(), "/u"), {IDOK}).size(), 1u);
    EXPECT_FALSE(EntryListed() || IsFile(install + "\\probe.exe") || IsFile(source + "\\setup.ini"));
    EXPECT_TRUE(IsFile(Setup()) && IsFile(install + "\\uninstall.exe"));
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
        const Process refused = Run(program, arguments);
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

const std::string kHostileId = "MewlarkHostile" + std::to_string(GetCurrentProcessId());

class HostileScripts : public SetupTest {
protected:
    void TearDown() override { DeleteFileA(canary.c_str()); }

    // The product's own: what an install may add and its uninstall must take away again.
    bool IsProducts(const std::string& change) const {
        for (const std::string& own : {installDir, programs + "\\" + kHostileId, "HKCU\\Software\\" + kHostileId,
                                       "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kHostileId}) {
            if (change.compare(2, own.size(), own) == 0) return true;
        }
        return false;
    }
    // Installs, then uninstalls through the uninstaller placed by the install, or else from
    // the setup's folder, answering every box; checks what changed meanwhile.
    void InstallAndUninstall() {
        const PrefixSnapshot before = TakeSnapshot({scratch.Path()});
        {
            const Process setup = Run(Setup());
            AnswerUntilEnd(setup, false);
            const Process notepad = ChildOf(setup.Id(), "notepad.exe", 500);
        }
        for (const std::string& change : Changes(before, TakeSnapshot({scratch.Path()}))) {
            EXPECT_TRUE(IsProducts(change)) << "install: " << change;
        }
        const std::string uninstaller = installDir + "\\uninstall.exe";
        const Process request = IsFile(uninstaller) ? Run(uninstaller) : Run(Setup(), "/u");
        AnswerUntilEnd(request, true);
        const Process copy = ChildOf(request.Id(), nullptr, 2000);
        if (copy.IsValid()) AnswerUntilEnd(copy, true);
        for (const std::string& change : Changes(before, TakeSnapshot({scratch.Path()}))) {
            // The copy and its folder are left for the next restart.
            if (lstrcmpiA(change.substr(2, copies.size()).c_str(), copies.c_str()) == 0) continue;
            ADD_FAILURE() << "uninstall: " << change;
        }
    }

    const std::string canary = "C:\\" + kHostileId + ".txt";
    const std::string installDir = programFiles + "\\" + kHostileId;
};

TEST_F(HostileScripts, TouchNothingButTheProductsOwn) {
    const std::string init =
        "[init]\r\nProductID=" + kHostileId + "\r\nProductTitle=Hostile\r\nInstallDir=%PF%\\" + kHostileId + "\r\n";
    std::string deepFolder;
    for (int i = 0; i < 50000; ++i) deepFolder += "d\\";
    // Each script by name; an empty one stands for no setup.ini at all.
    const std::vector<std::pair<const char*, std::string>> scripts{
        {"no product id", "[init]\r\nProductTitle=Hostile\r\nInstallDir=%PF%\\" + kHostileId +
                              "\r\n[InstallFiles]\r\n%InstallDir%\\,readme.txt," + kHostileId + "\\readme.lnk\r\n"},
        {"empty key paths", init + "[InstallRegistry]\r\nHKCU,,,,root,u\r\nHKCU,\\,Hostile,,x,u\r\nHKLM,,,,,eu\r\n"
                                   "HKCU,\\\\,,dword,1,u\r\nHKCU,Software\\" + kHostileId + ",Name,,x,u\r\n"
                                   "HKCU,Software\\" + kHostileId + ",,,,u\r\n"},
        {"drive root patterns", init + "[UninstallFiles]\r\n%InstallDir%\\..\\..\\*\r\nC:\\\\*\r\nC:\\.\\*\r\n\\*\r\nC:*\r\n"
                                       "%APP%\\..\\..\\..\\*\r\n%PF%\\..\\*.txt\r\n"},
        {"empty install folder", "[init]\r\nProductID=" + kHostileId + "\r\nProductTitle=Hostile\r\n[UninstallFiles]\r\n%InstallDir%\\*\r\n"},
        {"trail bytes", init + "[InstallRegistry]\r\nHKCU,Software\\" + kHostileId + Cp932(u8"表,名前,,値,u\r\nHKCU,Software\\") +
                            kHostileId + Cp932(u8"表,,,,u\r\n[InstallFiles]\r\n%InstallDir%\\表\\,readme.txt,") + kHostileId +
                            Cp932(u8"ソ\\readme.lnk\r\n%InstallDir%\\ソ\\,readme.txt\r\n"
                                  "[UninstallFiles]\r\n%InstallDir%\\表\\*\r\n%InstallDir%\\ソ\r\n")},
        {"long files lines", init + "[InstallFiles]\r\n%InstallDir%\\" + deepFolder + ",readme.txt\r\n"
                                    "[UninstallFiles]\r\n%InstallDir%\\" + deepFolder + "*\r\n"},
        {"missing script", std::string()},
    };
    for (const auto& [name, script] : scripts) {
        SCOPED_TRACE(name);
        DeleteFileA((source + "\\setup.ini").c_str());
        if (!script.empty()) WriteText(source + "\\setup.ini", script);
        WriteText(canary, "canary");
        // "C:*" lists the current folder of drive C:, the uninstalling copy's temporary one.
        WriteText(temp + "\\" + kHostileId + ".txt", "canary");
        InstallAndUninstall();
        EXPECT_TRUE(IsFile(canary));
    }
}

const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kPackageEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mewlark";
const std::string kSettings = "Software\\tarn\\Mewlark";

// The running notifier's process, waited for until its window is there, and where it runs from.
struct RunningNotifier {
    Process process;
    std::string image;
    std::string parent;  // the program that started it
};

RunningNotifier FindRunningNotifier() {
    RunningNotifier found;
    WaitFor([] { return FindWindowA("MEWLARKCLASS", nullptr) != nullptr; }, 30000);
    DWORD id = 0;
    GetWindowThreadProcessId(FindWindowA("MEWLARKCLASS", nullptr), &id);
    found.process = Process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id), id);
    char image[MAX_PATH] = {};
    GetModuleFileNameExA(found.process.Handle(), nullptr, image, MAX_PATH);
    found.image = image;
    found.parent = ParentProgramOf(id);
    return found;
}

class Package : public SetupTest {
protected:
    void SetUp() override {
        for (const char* name : {"Mewlark.exe", "setup.ini"}) {
            CopyFileA((ProgramFolder() + "\\..\\dist\\" + name).c_str(), (source + "\\" + name).c_str(), FALSE);
        }
        sim::Reset();
    }
    void TearDown() override {
        // Whatever a failed run left behind.
        if (const HWND running = FindWindowA("MEWLARKCLASS", nullptr)) SendMessageA(running, WM_CLOSE, 0, 0);
        RemoveTree(installDir);
        RemoveTree(programs + "\\Mewlark");
        DeleteTree(HKEY_LOCAL_MACHINE, kPackageEntry);
        DeleteTree(HKEY_CURRENT_USER, "Software\\tarn");
        WriteValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe", std::nullopt);
    }

    // Installs the package; "Start" answered as given.
    std::vector<SeenBox> Install(int startAnswer) const { return AnswerBoxes(Run(Setup()), {startAnswer}); }
    // Runs the installed uninstaller, answers Yes, and returns what its copy showed.
    std::vector<SeenBox> Uninstall() const {
        const Process uninstaller = Run(installDir + "\\uninstall.exe");
        const std::vector<SeenBox> asked = AnswerBoxes(uninstaller, {IDYES});
        EXPECT_EQ(asked.size(), 1u);
        return AnswerBoxes(ChildOf(uninstaller.Id()), {IDOK});
    }
    void ExpectNothingLeft() const {
        EXPECT_FALSE(IsFolder(installDir));
        EXPECT_FALSE(IsFolder(programs + "\\Mewlark"));
        EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe").has_value());
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kPackageEntry));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\tarn"));
    }
    // A stored session the simulator accepts.
    static void StoreSession() {
        sim::AddAccount("alice", "pw", 0);
        sim::AddSession("eid-alice", "alice");
        SetString(HKEY_CURRENT_USER, kSettings, "EID", "eid-alice");
    }

    const std::string installDir = programFiles + "\\Mewlark";
    const std::string notifier = installDir + "\\Mewlark.exe";
    const std::string completed = Cp932(u8"\"Mewlark\" のアンインストールが完了しました。");
};

TEST_F(Package, InstallsStartsTheNotifierWithTheShellsRightsAndUninstallsWithoutATrace) {
    ASSERT_TRUE(IsFile(source + "\\Mewlark.exe"));
    ASSERT_FALSE(IsFolder(installDir)) << "an earlier install is in the way";
    const Process setup = Run(Setup());
    std::vector<SeenBox> seen = AnswerBoxes(setup, {IDYES});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Mewlark");
    EXPECT_EQ(seen[0].text, Cp932(u8"インストールが完了しました。\r\n\"Mewlark\" を今すぐ起動しますか？"));
    EXPECT_EQ(ReadText(notifier), ReadText(source + "\\Mewlark.exe"));
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRun, "Mewlark.exe"), "\"" + notifier + "\"");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kPackageEntry, "UninstallString"), "\"" + installDir + "\\uninstall.exe\" /u");

    // Under Wine the shell's process is as elevated as the setup: the setup starts it itself.
    const RunningNotifier running = FindRunningNotifier();
    ASSERT_TRUE(running.process.IsValid());
    EXPECT_TRUE(lstrcmpiA(running.image.c_str(), notifier.c_str()) == 0) << running.image;
    DWORD parent = 0;
    const HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(processes, &entry); more; more = Process32Next(processes, &entry)) {
        if (entry.th32ProcessID == running.process.Id()) parent = entry.th32ParentProcessID;
    }
    CloseHandle(processes);
    EXPECT_EQ(parent, setup.Id()) << running.parent;

    // The uninstall stops it first, then removes everything.
    seen = Uninstall();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, completed);
    EXPECT_TRUE(running.process.Ended(10000));
    ExpectNothingLeft();
}

TEST_F(Package, AnInstallOverANotifierWhosePassHangsWaitsForItAndReplacesIt) {
    Install(IDNO);
    StoreSession();
    sim::Reply silent;
    silent.stall = "before-headers";
    silent.stallMs = 60000;
    sim::Script("arrival", silent);
    // The user starts the notifier from the Start menu: the shell follows the shortcut.
    ShellExecuteA(nullptr, nullptr, (programs + "\\Mewlark\\Mewlark.lnk").c_str(), nullptr, nullptr, SW_SHOW);
    const RunningNotifier running = FindRunningNotifier();
    ASSERT_TRUE(running.process.IsValid());
    EXPECT_TRUE(lstrcmpiA(running.image.c_str(), notifier.c_str()) == 0) << running.image;
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));

    // A newer package: its notifier differs. Its "Stop" returns only once the old one has ended.
    const std::string newer = ReadText(source + "\\Mewlark.exe") + "newer build";
    WriteText(source + "\\Mewlark.exe", newer);
    const std::vector<SeenBox> seen = Install(IDNO);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, Cp932(u8"インストールが完了しました。\r\n\"Mewlark\" を今すぐ起動しますか？"));
    EXPECT_TRUE(running.process.Ended(0));
    EXPECT_EQ(ReadText(notifier), newer);

    // The package's folder is the user's: the install runs no program from it. (The probe
    // records a start with "Stop" in a file of that name in the setup's folder.)
    CopyFileA((ProgramFolder() + "\\setup_test_probe.exe").c_str(), (source + "\\Mewlark.exe").c_str(), FALSE);
    EXPECT_EQ(Install(IDNO).size(), 1u);
    EXPECT_FALSE(IsFile(temp + "\\Stop"));
}

TEST_F(Package, AnUninstallCompletesWhenTheNotifiersFileIsGone) {
    Install(IDNO);
    SetString(HKEY_CURRENT_USER, kSettings, "UserID", "alice");
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, kRun, "Mewlark.exe").has_value());
    ASSERT_TRUE(DeleteFileA(notifier.c_str()));
    const std::vector<SeenBox> seen = Uninstall();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, completed);
    ExpectNothingLeft();
}

using PlantedDllsPackage = Package;

// Run as CTest's setup_planted_dll_tests, which sets the search order.
TEST_F(PlantedDllsPackage, NoProcessLoadsADllPlantedBesideTheProgramsOrInTheTemporaryFolder) {
    // The names that CTest orders native first: the last WINEDLLOVERRIDES entry, "a,b,...=n,b".
    char overrides[2048] = {};
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof(overrides));
    const std::string entry = std::string(overrides).substr(std::string(overrides).rfind(';') + 1);
    ASSERT_EQ(entry.substr(entry.find('=')), "=n,b");
    std::vector<std::string> folders;
    const auto plant = [&](const std::string& folder) {
        std::string names = entry.substr(0, entry.find('=')) + ",";
        for (std::size_t end; (end = names.find(',')) != std::string::npos; names.erase(0, end + 1)) {
            CopyFileA((ProgramFolder() + "\\planted_dll.dll").c_str(), (folder + "\\" + names.substr(0, end) + ".dll").c_str(),
                      FALSE);
        }
        folders.push_back(folder);
    };
    // Each marker that was loaded leaves "<its path>.loaded", naming the program; taken away.
    const auto takeLoaded = [&] {
        std::vector<std::string> loaded;
        for (const std::string& folder : folders) {
            WIN32_FIND_DATAA found;
            const HANDLE search = FindFirstFileA((folder + "\\*.loaded").c_str(), &found);
            for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
                loaded.push_back(folder + "\\" + found.cFileName + " by " + ReadText(folder + "\\" + found.cFileName));
                DeleteFileA((folder + "\\" + found.cFileName).c_str());
            }
            if (search != INVALID_HANDLE_VALUE) FindClose(search);
        }
        return loaded;
    };
    plant(source);  // beside MewlarkSetup.exe and the package's Mewlark.exe
    plant(temp);    // where the uninstall runs its copy
    CopyFileA((ProgramFolder() + "\\unsafe_importer.exe").c_str(), (source + "\\unsafe_importer.exe").c_str(), FALSE);
    ASSERT_TRUE(Run(source + "\\unsafe_importer.exe").Ended());
    ASSERT_EQ(takeLoaded().size(), 1u) << "a program importing wininet.dll statically loads the planted one";

    // The install runs the package's notifier ("Stop") and the installed one ("SetAutoStart").
    ASSERT_EQ(Install(IDNO).size(), 1u);
    plant(installDir);
    // The notifier logs in over HTTPS, checks and plays its sound; the uninstall's copy stops it.
    sim::AddAccount("alice", "pw", 2);
    const Process started = Run(notifier);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = VisibleDialog("Mewlark")) != nullptr; }, 20000));
    AnswerLoginDialog(dialog, "alice", "pw", false);
    ASSERT_TRUE(WaitFor([] { return IsWindowVisible(FindWindowA("SIMPLEPOPUPCLASS", nullptr)) != FALSE; }, 20000));
    EXPECT_EQ(Uninstall().size(), 1u);
    EXPECT_TRUE(started.Ended(20000));
    EXPECT_EQ(takeLoaded(), std::vector<std::string>{});
}

}  // namespace
