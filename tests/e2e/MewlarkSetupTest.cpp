// MewlarkSetup.exe as processes, its message boxes answered and read byte for byte: an install
// and an uninstall through its copy, a failed install, the rights check, and the release
// package with its shipped setup.ini and notifier.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "mewlark_config.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/Registry.h"
#include "tests/support/Waiting.h"
#include "tests/support/Windows.h"
#include "tools/simulator/SimulatorClient.h"

namespace {

using namespace test;

const std::string kShellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const std::string kError = Cp932(u8"エラー");  // the platform's caption of an error box without one

// MewlarkSetup.exe in a folder of its own (source); the programs the test
// starts run in a temporary folder of their own (temp), both in a scratch folder.
class SetupTest : public ::testing::Test {
protected:
    SetupTest() {
        CreateDirectoryA(source.c_str(), nullptr);
        CreateDirectoryA(temp.c_str(), nullptr);
        CopyFileA((ProgramFolder() + "\\MewlarkSetup.exe").c_str(), Setup().c_str(), FALSE);
        // Started programs inherit both; in the temporary folder a path from the root stays on C:.
        for (const char* name : {"TMP", "TEMP"}) SetEnvironmentVariableA(name, temp.c_str());
        SetCurrentDirectoryA(temp.c_str());
    }
    ~SetupTest() override {
        for (const char* name : {"TMP", "TEMP"}) SetEnvironmentVariableA(name, savedTemp.c_str());
        // The uninstall copies' folders in the system's temporary folder, left for a restart.
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA((systemTemp + "\\hcSetup*").c_str(), &found);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
            RemoveTree(systemTemp + "\\" + found.cFileName);
        }
        if (search != INVALID_HANDLE_VALUE) FindClose(search);
    }
    Process Run(const std::string& program, const std::string& arguments = std::string()) const {
        return Process::Start("\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments));
    }
    std::string Setup() const { return source + "\\MewlarkSetup.exe"; }
    std::string Log() const { return temp + "\\hcSetup.log"; }
    // Runs the uninstaller, answers its question with Yes and returns the copy it started.
    Process HandOver(const std::string& uninstaller) const {
        const Process first = Run(uninstaller);
        AnswerBoxes(first, {IDYES});
        return ChildOf(first.Id());
    }

    const std::string savedTemp = [] {
        char path[MAX_PATH] = {};
        GetEnvironmentVariableA("TEMP", path, MAX_PATH);
        return std::string(path);
    }();
    ScratchFolder scratch;
    const std::string source = scratch / "source";
    const std::string temp = scratch / "temp";
    const std::string programs = ReadString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs");
    const std::string programFiles =  // "%PF%"
        ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    const std::string systemTemp = [] {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        return std::string(windows) + "\\temp";
    }();
    // Forgets the deletions at restart that uninstalls schedule.
    const SavedValue pending{HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                             "PendingFileRenameOperations"};
};

const std::string kId = "MewlarkE2E" + std::to_string(GetCurrentProcessId());
const std::string kKey = "Software\\" + kId;
const std::string kEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kId;
const std::string kTitle = Cp932(u8"テスト表示");

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
        DeleteFileA(canary.c_str());
    }
    bool EntryListed() const { return KeyExists(HKEY_LOCAL_MACHINE, kEntry); }

    const std::string data = scratch / "data";
    // "表" ends in a "\" byte; neither folder exists before the install.
    const std::string install = scratch / Cp932(u8"表示\\inst");
    const std::string calls = scratch / "server.calls";
    const std::string canary = "C:\\" + kId + ".txt";
};

TEST_F(SetupProgram, InstallsWhatTheScriptListsAndUninstallsItThroughItsCopy) {
    // Commands end with a bare word, so that the profile reader keeps their quotes. "C:\*" is a
    // pattern in the root of a drive, as one whose macro expanded to nothing can be. A program
    // of the user attacks the package's folder before the first copy.
    const std::string script =
              "[init]\r\nProductID=" + kId + "\r\nProductTitle=" + kTitle + "\r\nInstallDir=" + install +
                  "\r\nUniqueName=" + kId + "\r\n[PreInstallExec]\r\nExec0=\"%BaseDir%\\probe.exe\" attack \"" + temp +
                  "\\attack.txt\" x\r\n[InstallExec]\r\nExec1=mwprobe \"" + temp +
                  "\\path.txt\" 0 x\r\nExec3=&\"" + ProgramFolder() + "\\setup_test_probe.exe\" \"" + temp +
                  "\\post.txt\" 3000\r\n[InstallRegistry]\r\nHKCU," + kKey + ",Name,,text,u\r\nHKLM," + kKey +
                  ",,,,u\r\nHKLM,\\" + kKey + "\\Machine,Count,DWord,42\r\nHKCU," + kKey +
                  "\\Named,,,default,eu\r\n[InstallFiles]\r\n%InstallDir%\\sub\\,probe.exe\r\n"
                  "%InstallDir%\\,server.dll,SelfRegister\r\n%InstallDir%\\,probe.exe," + kId +
                  "\\Probe.lnk\r\n[UninstallFiles]\r\nC:\\*\r\n" + data + "\\*\r\n";
    WriteText(source + "\\setup.ini", script);
    // "mwprobe" is found on the PATH; the attack puts a forged one beside the setup.
    const std::string bin = scratch / "bin";
    CreateDirectoryA(bin.c_str(), nullptr);
    CopyFileA((ProgramFolder() + "\\setup_test_probe.exe").c_str(), (bin + "\\mwprobe.exe").c_str(), FALSE);
    char path[4096] = {};
    GetEnvironmentVariableA("PATH", path, sizeof(path));
    SetEnvironmentVariableA("PATH", (std::string(path) + ";" + bin).c_str());
    // No "Start" and a post-install command: no completion box, and the "&" command not waited for.
    EXPECT_TRUE(AnswerBoxes(Run(Setup()), {}).empty());
    SetEnvironmentVariableA("PATH", path);
    // The package's files were held from the start: the installed ones are the package's own, and
    // the "mwprobe" found at the start ran, not the one put beside the setup.
    EXPECT_EQ(ReadText(temp + "\\attack.txt"), "write setup.ini kept\r\noverwrite server.dll kept\r\nrename server.dll kept\r\n"
                                               "rename MewlarkSetup.exe kept\r\ndone\r\n");
    EXPECT_EQ(ReadText(install + "\\server.dll"), ReadText(ProgramFolder() + "\\setup_test_selfreg.dll"));
    EXPECT_EQ(ReadText(install + "\\uninstall.exe"), ReadText(ProgramFolder() + "\\MewlarkSetup.exe"));
    EXPECT_EQ(ReadText(install + "\\setup.ini"), script);
    EXPECT_NE(ReadText(temp + "\\path.txt").find("done"), std::string::npos);
    EXPECT_EQ(ReadText(temp + "\\post.txt").find("done"), std::string::npos) << "the \"&\" command was waited for";
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kKey + "\\Machine", "Count"), (RegistryValue{REG_DWORD, Dword(42)}));
    EXPECT_EQ(ReadText(calls), "register\r\n");
    EXPECT_TRUE(IsFile(programs + "\\" + kId + "\\Probe.lnk"));

    // What the product and others do meanwhile: a value in its "eu" key, data, a file in C:\.
    SetString(HKEY_CURRENT_USER, kKey + "\\Named", "added", "x");
    WriteText(data + "\\a.dat", "a");
    WriteText(canary, "canary");
    const auto scheduled = [] {
        const std::optional<RegistryValue> renames = ReadValue(
            HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", "PendingFileRenameOperations");
        return renames ? renames->bytes : std::string();
    };

    // The relaunch switch from a folder of the user's that looks like a copy's, with a script
    // of the user's: refused, nothing removed.
    const std::string forged = systemTemp + "\\hcSetupForged";
    CreateDirectoryA(forged.c_str(), nullptr);
    CopyFileA((ProgramFolder() + "\\MewlarkSetup.exe").c_str(), (forged + "\\MewlarkSetup.exe").c_str(), FALSE);
    for (const std::string& any : {forged + "\\setup.ini", scratch / "any.ini"}) {
        WriteText(any, "[init]\r\nProductID=" + kId + "\r\n[UninstallFiles]\r\n" + data + "\\*\r\n");
    }
    std::vector<SeenBox> seen = AnswerBoxes(Run(forged + "\\MewlarkSetup.exe", "/ux \"" + scratch / "any.ini\""), {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(std::tie(seen[0].caption, seen[0].text),
              std::make_tuple(kError, Cp932(u8"ファイル ") + scratch / "any.ini" + Cp932(u8" はアンインストールに使用できません")));
    EXPECT_TRUE(IsFile(data + "\\a.dat"));
    // The installed uninstaller as the relaunch, refused while another setup holds the name (with
    // an access list that shuts it out): it stays, listed, and is not deleted at a restart.
    PSECURITY_DESCRIPTOR denying = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;GA;;;WD)", SDDL_REVISION_1, &denying, nullptr);
    SECURITY_ATTRIBUTES shut{sizeof(shut), denying, FALSE};
    const HANDLE otherSetup = CreateMutexA(&shut, TRUE, kId.c_str());
    seen = AnswerBoxes(Run(install + "\\uninstall.exe", "/UX"), {IDOK});
    CloseHandle(otherSetup), LocalFree(denying);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text.rfind("\"" + kTitle + Cp932(u8"\" が起動中のため"), 0), 0u) << seen[0].text;
    EXPECT_TRUE(EntryListed());
    EXPECT_EQ(scheduled().find(install + "\\uninstall.exe"), std::string::npos);

    // The uninstaller answered No (its default): nothing changes.
    const Process declined = Run(install + "\\uninstall.exe");
    seen = AnswerBoxes(declined, {IDNO});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "\"" + kTitle + Cp932(u8"\" のアンインストールを開始します。"));
    EXPECT_EQ(seen[0].defaultButton, IDNO);
    EXPECT_FALSE(ChildOf(declined.Id(), nullptr, 500).IsValid());

    // A file in use, Retry, then Cancel: the product stays listed.
    const std::string held = install + "\\server.dll";
    const HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    seen = AnswerBoxes(HandOver(install + "\\uninstall.exe"), {IDRETRY, IDCANCEL, IDOK});
    CloseHandle(file);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(std::tie(seen[1].text, seen[1].buttons),
              std::make_tuple(held + Cp932(u8" を削除できません。\r\n\"") + kTitle +
                                  Cp932(u8"\" を使用中の場合は終了させてください。"),
                              std::vector<int>{IDCANCEL, IDRETRY}));
    EXPECT_EQ(std::tie(seen[2].caption, seen[2].text), std::make_tuple(kError, Cp932(u8"アンインストールを中断しました")));
    EXPECT_TRUE(EntryListed());

    // Yes: the copy removes everything listed. It runs from a folder of its own that no
    // other user may change (Wine maps an access list to the Unix mode and reads one back).
    const Process copy = HandOver(install + "\\uninstall.exe");
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
    const std::string daclText(dacl != nullptr ? dacl : "");
    LocalFree(dacl), LocalFree(security);
    EXPECT_EQ(daclText.rfind("D:", 0), 0u) << copyFolder;
    for (const char* others : {";WD)", ";BU)", ";AU)"}) EXPECT_EQ(daclText.find(others), std::string::npos) << daclText;
    seen = AnswerBoxes(copy, {IDOK});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "\"" + kTitle + Cp932(u8"\" のアンインストールが完了しました。"));
    EXPECT_FALSE(EntryListed());
    EXPECT_FALSE(IsFolder(install));
    EXPECT_FALSE(IsFolder(programs + "\\" + kId));
    EXPECT_FALSE(IsFile(data + "\\a.dat"));
    EXPECT_TRUE(IsFile(canary)) << "a root pattern deleted the files of C:\\";
    EXPECT_EQ(ReadText(calls), "register\r\nunregister\r\nunregister\r\n");
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, "Name").has_value());
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kKey + "\\Named"));
    // The copy, then its folder, go at the next restart.
    const std::size_t copyEntry = scheduled().find(image + std::string(1, '\0'));
    const std::size_t folderEntry = scheduled().find(copyFolder + std::string(1, '\0'));
    EXPECT_TRUE(copyEntry != std::string::npos && folderEntry != std::string::npos && copyEntry < folderEntry);
}

// The log's lines without their time stamps.
std::string WithoutTimes(std::string log) {
    for (std::size_t at = 0; (at = log.find('[', at)) != std::string::npos;) log.erase(at, log.find("] ", at) + 2 - at);
    return log;
}

// A silent run: no window of it or of what it starts, and its exit code.
DWORD Silently(const Process& run) {
    EXPECT_EQ(WindowsUntilEnd(run), std::vector<std::string>{});
    return run.ExitCode();
}

TEST_F(SetupProgram, SilentRunsShowNothingEndWithTheirCodesAndListTheWholeEntry) {
    WriteText(source + "\\setup.ini",
              "[init]\r\nProductID=" + kId + "\r\nProductTitle=" + kTitle + "\r\nInstallDir=" + install +
                  "\r\nUniqueName=" + kId + "\r\nStart=\"%InstallDir%\\probe.exe\" \"" + temp +
                  "\\started.txt\" 0\r\nDisplayVersion=2.3\r\nPublisher=" + kTitle +
                  "\r\nDisplayIcon=%InstallDir%\\probe.exe,0\r\n[InstallRegistry]\r\nHKCU," + kKey +
                  ",Name,,text,u\r\n[InstallFiles]\r\n%InstallDir%\\,probe.exe\r\n");
    EXPECT_EQ(Silently(Run(Setup(), "/s")), 0u);
    EXPECT_FALSE(IsFile(temp + "\\started.txt")) << "a silent install ran \"Start\"";
    const std::string silentLog = ReadText(Log());
    // From the same state, the interactive install writes the same log.
    RemoveTree(install);
    ASSERT_EQ(AnswerBoxes(Run(Setup()), {IDNO}).size(), 1u);  // "Start"
    const std::string interactiveLog = ReadText(Log());
    EXPECT_EQ(WithoutTimes(interactiveLog), WithoutTimes(silentLog));

    // Over a running product, neither changes anything.
    const HANDLE running = CreateMutexA(nullptr, TRUE, kId.c_str());
    EXPECT_EQ(Silently(Run(Setup(), "/S")), static_cast<DWORD>(ERROR_INSTALL_ALREADY_RUNNING));
    EXPECT_EQ(Silently(Run(install + "\\uninstall.exe", "/S")), static_cast<DWORD>(ERROR_INSTALL_ALREADY_RUNNING));
    CloseHandle(running);
    EXPECT_EQ(ReadText(Log()), interactiveLog);
    EXPECT_TRUE(EntryListed() && IsFile(install + "\\uninstall.exe") && IsFile(install + "\\probe.exe"));

    const std::string uninstall = "\"" + install + "\\uninstall.exe\" /u";
    const auto size = [&](const char* name) { return ReadText(install + "\\" + name).size(); };
    const DWORD kilobytes = static_cast<DWORD>((size("probe.exe") + size("setup.ini") + size("uninstall.exe") + 1023) / 1024);
    for (const auto& [name, value] : std::vector<std::pair<const char*, RegistryValue>>{
             {"DisplayName", Sz(kTitle)}, {"UninstallString", Sz(uninstall)}, {"QuietUninstallString", Sz(uninstall + " /S")},
             {"DisplayVersion", Sz("2.3")}, {"Publisher", Sz(kTitle)}, {"DisplayIcon", Sz(install + "\\probe.exe,0")},
             {"InstallLocation", Sz(install)}, {"EstimatedSize", {REG_DWORD, Dword(kilobytes)}},
             {"NoModify", {REG_DWORD, Dword(1)}}, {"NoRepair", {REG_DWORD, Dword(1)}}}) {
        EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kEntry, name), value) << name;
    }

    // A file in use waits for the restart; the uninstall completes and says so.
    const std::string held = install + "\\probe.exe";
    const HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const Process first = Run(install + "\\uninstall.exe", "/u /S");
    const Process copy = ChildOf(first.Id());
    EXPECT_EQ(Silently(first), static_cast<DWORD>(ERROR_SUCCESS_REBOOT_REQUIRED));
    EXPECT_TRUE(copy.Ended());
    CloseHandle(file);
    const std::optional<RegistryValue> renames = ReadValue(
        HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", "PendingFileRenameOperations");
    EXPECT_TRUE(renames && renames->bytes.find(held + std::string(1, '\0')) != std::string::npos);
    EXPECT_FALSE(EntryListed() || IsFile(install + "\\uninstall.exe") || IsFile(install + "\\setup.ini"));
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kKey, "Name").has_value());
}

TEST_F(SetupProgram, AFailedInstallShowsOneErrorOpensTheLogAndListsNothing) {
    const std::string missing = "Copy File \"" + source + "\\missing.exe\" to \"" + install + "\\missing.exe\" Error 2";
    WriteText(source + "\\setup.ini", "[init]\r\nProductID=" + kId + "\r\nInstallDir=" + install +
                                          "\r\n[InstallFiles]\r\n%InstallDir%\\,missing.exe\r\n");
    // The last log, held open by a reader: it cannot go, so it is emptied.
    WriteText(Log(), "an earlier install\r\n");
    const HANDLE reader =
        CreateFileA(Log().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    const Process setup = Run(Setup());
    const std::vector<SeenBox> seen = AnswerBoxes(setup, {IDOK});
    CloseHandle(reader);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, kError);
    EXPECT_EQ(seen[0].text, Cp932(u8"インストール中にエラーが発生しました。\r\n再起動してインストールをやり直すか、何度もエラーが発生する場合は\r\n") +
                                Log() + Cp932(u8" の内容を添付してメールでご連絡ください。"));
    // The log opens in notepad, whose window is titled with the file's name once it is loaded.
    const std::string title = "hcSetup.log" + Cp932(u8" - メモ帳");
    const Process notepad = OwnerOf([&] { return FindWindowA(nullptr, title.c_str()); });  // ended with the test
    EXPECT_TRUE(notepad.IsValid());
    EXPECT_EQ(IsElevated(notepad.Id()), ShellIsElevated()) << "notepad runs with the shell's rights";
    EXPECT_EQ(ReadText(Log()).find("earlier"), std::string::npos);
    EXPECT_NE(ReadText(Log()).find("Info : Exception \"" + missing + "\"\r\n"), std::string::npos);
    EXPECT_FALSE(EntryListed());
    // Silent: no box, no notepad, and the failure as the exit code.
    EXPECT_EQ(Silently(Run(Setup(), "/S")), static_cast<DWORD>(ERROR_INSTALL_FAILURE));

    // A "Start" whose program is missing is a command that cannot start, answered Yes.
    const std::string start = "\"" + install + "\\none.exe\"";
    WriteText(source + "\\setup.ini", "[init]\r\nInstallDir=" + install + "\r\nStart=\"" + start + "\"\r\n");
    EXPECT_EQ(AnswerBoxes(Run(Setup()), {IDYES, IDOK}).size(), 2u);
    EXPECT_NE(ReadText(Log()).find("Info : Exception \"2 ... Exec Error " + start + "\"\r\n"), std::string::npos)
        << ReadText(Log());
}

TEST_F(SetupTest, AUserWithoutAdministratorRightsIsRefused) {
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
    const std::vector<SeenBox> seen = AnswerBoxes(Run(Setup()), {IDOK});
    const DWORD silent = Silently(Run(Setup(), "/S"));
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, saved.data());
    RegCloseKey(key);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(std::tie(seen[0].caption, seen[0].text),
              std::make_tuple(kError, Cp932(u8"インストールに必要な権限がありません。\r\n管理者権限のユーザでログインしてインストールしてください。")));
    EXPECT_EQ(silent, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(IsFile(Log()));
}

const std::string kPackageEntry = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mewlark";

// The running notifier, waited for until its window is there.
Process RunningNotifier() {
    return OwnerOf([] { return FindWindowA("MEWLARKCLASS", nullptr); });
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
        // Whatever a failed run left behind; a notifier still running goes with the temporary.
        if (FindWindowA("MEWLARKCLASS", nullptr) != nullptr) RunningNotifier();
        RemoveTree(installDir);
        RemoveTree(programs + "\\Mewlark");
        DeleteTree(HKEY_LOCAL_MACHINE, kPackageEntry);
        DeleteTree(HKEY_CURRENT_USER, "Software\\tarn");
        WriteValue(HKEY_CURRENT_USER, kRunKey, "Mewlark.exe", std::nullopt);
    }

    // Installs the package, "Start" answered as given; the box's text.
    std::string Install(int startAnswer) const {
        const std::vector<SeenBox> seen = AnswerBoxes(Run(Setup()), {startAnswer});
        return seen.empty() ? std::string() : seen[0].text;
    }
    // Runs the installed uninstaller, answers Yes, and returns what its copy showed.
    std::string Uninstall() const {
        const std::vector<SeenBox> seen = AnswerBoxes(HandOver(installDir + "\\uninstall.exe"), {IDOK});
        return seen.empty() ? std::string() : seen[0].text;
    }
    void ExpectNothingLeft() const {
        EXPECT_FALSE(IsFolder(installDir));
        EXPECT_FALSE(IsFolder(programs + "\\Mewlark"));
        EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRunKey, "Mewlark.exe").has_value());
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kPackageEntry));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\tarn"));
    }

    const std::string installDir = programFiles + "\\Mewlark";
    const std::string notifier = installDir + "\\Mewlark.exe";
    const std::string completed = Cp932(u8"\"Mewlark\" のアンインストールが完了しました。");
};

TEST_F(Package, UpdatesARunningNotifierStartsTheNewOneWithTheShellsRightsAndUninstallsWithoutATrace) {
    ASSERT_FALSE(IsFolder(installDir)) << "an earlier install is in the way";
    const std::string question = Cp932(u8"インストールが完了しました。\r\n\"Mewlark\" を今すぐ起動しますか？");
    EXPECT_EQ(Install(IDNO), question);
    // The user starts the notifier from the Start menu; its first pass hangs.
    StoreSession("alice", 0);
    sim::Reply silent;
    silent.stall = "before-headers";
    silent.stallMs = 60000;
    sim::Script("arrival", silent);
    ShellExecuteA(nullptr, nullptr, (programs + "\\Mewlark\\Mewlark.lnk").c_str(), nullptr, nullptr, SW_SHOW);
    const Process old = RunningNotifier();
    ASSERT_TRUE(old.IsValid());
    ASSERT_TRUE(WaitFor([] { return sim::RequestCount("arrival") == 1; }, 15000));

    // A newer package: its "Stop" returns only once the old notifier has ended.
    const std::string newer = ReadText(source + "\\Mewlark.exe") + "newer build";
    WriteText(source + "\\Mewlark.exe", newer);
    const Process setup = Run(Setup());
    const std::vector<SeenBox> seen = AnswerBoxes(setup, {IDYES});
    EXPECT_TRUE(seen.size() == 1 && seen[0].text == question);
    EXPECT_TRUE(old.Ended(0));
    EXPECT_EQ(ReadText(notifier), newer);
    EXPECT_EQ(ReadText(installDir + "\\setup.ini").find('\n'), ReadText(source + "\\setup.ini").find("\r\n") + 1);
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, kRunKey, "Mewlark.exe"), "\"" + notifier + "\"");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kPackageEntry, "UninstallString"), "\"" + installDir + "\\uninstall.exe\" /u");
    // With the shell's rights: under Wine 8 the shell is as elevated as the setup, which starts
    // the notifier itself; under Wine 10, as under Windows, the shell starts it.
    const Process started = RunningNotifier();
    ASSERT_TRUE(started.IsValid());
    EXPECT_EQ(IsElevated(started.Id()), ShellIsElevated());

    // The uninstall stops it first, then removes everything.
    EXPECT_EQ(Uninstall(), completed);
    EXPECT_TRUE(started.Ended(10000));
    ExpectNothingLeft();

    // Silently, listed with what the notifier's version resource and about box show; once the
    // notifier's file is gone, the uninstall still completes.
    ASSERT_EQ(Silently(Run(Setup(), "/S")), 0u);
    EXPECT_EQ(FindWindowA("MEWLARKCLASS", nullptr), nullptr) << "a silent install started the notifier";
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kPackageEntry, "DisplayVersion"),
              std::to_string(MEWLARK_VERSION_MAJOR) + "." + std::to_string(MEWLARK_VERSION_MINOR) + "." +
                  std::to_string(MEWLARK_VERSION_PATCH) + "." + std::to_string(MEWLARK_VERSION_BUILD));
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kPackageEntry, "Publisher") + ReadString(HKEY_LOCAL_MACHINE, kPackageEntry, "DisplayIcon"),
              "Mewlark Project" + notifier + ",0");
    SetString(HKEY_CURRENT_USER, kSettingsKey, "UserID", "alice");
    ASSERT_TRUE(DeleteFileA(notifier.c_str()));
    const Process quiet = Run(installDir + "\\uninstall.exe", "/S");
    const Process copy = ChildOf(quiet.Id());
    EXPECT_EQ(Silently(quiet), 0u);
    // The result reached the first process before the copy ended: the copy outlived it.
    FILETIME times[2][4];
    GetProcessTimes(quiet.Handle(), &times[0][0], &times[0][1], &times[0][2], &times[0][3]);
    EXPECT_TRUE(copy.Ended() && GetProcessTimes(copy.Handle(), &times[1][0], &times[1][1], &times[1][2], &times[1][3]));
    EXPECT_GT(CompareFileTime(&times[1][1], &times[0][1]), 0);
    ExpectNothingLeft();

    // The package's folder is the user's: the install runs no program from it. (The probe
    // records a start with "Stop" in a file of that name in the current folder.)
    CopyFileA((ProgramFolder() + "\\setup_test_probe.exe").c_str(), (source + "\\Mewlark.exe").c_str(), FALSE);
    Install(IDNO);
    EXPECT_FALSE(IsFile(temp + "\\Stop"));
}

using PlantedDllsPackage = Package;

// Run as CTest's setup_planted_dll_tests, which sets the search order.
TEST_F(PlantedDllsPackage, NoProcessLoadsADllPlantedBesideTheProgramsOrInTheTemporaryFolder) {
    // The names that CTest orders native first: the last WINEDLLOVERRIDES entry, "a,b,...=n,b".
    char overrides[2048] = {};
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof(overrides));
    const std::string entry = std::string(overrides).substr(std::string(overrides).rfind(';') + 1);
    ASSERT_EQ(entry.substr(entry.find('=')), "=n,b");
    std::vector<std::string> names;
    for (std::string list = entry.substr(0, entry.find('=')) + ","; !list.empty(); list.erase(0, list.find(',') + 1)) {
        names.push_back(list.substr(0, list.find(',')) + ".dll");
    }
    std::vector<std::string> folders;
    const auto plant = [&](const std::string& folder) {
        for (const std::string& name : names) {
            CopyFileA((ProgramFolder() + "\\planted_dll.dll").c_str(), (folder + "\\" + name).c_str(), FALSE);
        }
        folders.push_back(folder);
    };
    // Each planted DLL that was loaded leaves "<its path>.loaded", naming the programs; taken away.
    const auto takeLoaded = [&] {
        std::string loaded;
        for (const std::string& folder : folders) {
            for (const std::string& name : names) {
                const std::string marker = folder + "\\" + name + ".loaded";
                loaded += ReadText(marker);
                DeleteFileA(marker.c_str());
            }
        }
        return loaded;
    };
    plant(source);  // beside MewlarkSetup.exe and the package's Mewlark.exe
    plant(temp);    // the user's temporary folder
    CopyFileA((ProgramFolder() + "\\unsafe_importer.exe").c_str(), (source + "\\unsafe_importer.exe").c_str(), FALSE);
    ASSERT_TRUE(Run(source + "\\unsafe_importer.exe").Ended());
    ASSERT_NE(takeLoaded(), "") << "a program importing wininet.dll statically loads the planted one";

    // The install runs the package's notifier ("Stop") and the installed one ("SetAutoStart").
    ASSERT_FALSE(Install(IDNO).empty());
    plant(installDir);
    // The notifier logs in over HTTPS, checks and plays its sound; the uninstall's copy stops it.
    sim::AddAccount("alice", "pw", 2);
    const Process started = Run(notifier);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (dialog = VisibleDialog("Mewlark")) != nullptr; }, 20000));
    AnswerLoginDialog(dialog, "alice", "pw", false);
    ASSERT_TRUE(WaitFor([] { return IsWindowVisible(FindWindowA("SIMPLEPOPUPCLASS", nullptr)) != FALSE; }, 20000));
    EXPECT_EQ(Uninstall(), completed);
    EXPECT_TRUE(started.Ended(20000));
    EXPECT_EQ(takeLoaded(), "") << "the programs that loaded a planted DLL";
}

}  // namespace
