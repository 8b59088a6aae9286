// The setup engine TInstallerBase in process: its state from a script, the relaunched copy's
// wait for its starter, its own message boxes and the shell folders.
#include "setup/engine/SetupLib2.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <future>
#include <thread>

#include "setup/engine/SetupLog.h"
#include "setup/engine/SpecialDirs.h"
#include "tests/support/Files.h"
#include "tests/support/Registry.h"
#include "tests/support/Windows.h"

namespace {

using namespace test;

// The engine with its product steps left empty and its state open to the test.
class ProbeInstaller : public TInstallerBase {
public:
    explicit ProbeInstaller(const SetupCommandLine& commandLine) : TInstallerBase(commandLine) {}
    void DoInstall() override {}
    void DoUninstall() override {}
    void ShowError(const std::string& message) override { shownError = message; }
    std::string shownError;
    using TInstallerBase::ConfirmInstall, TInstallerBase::FAlreadyRunning, TInstallerBase::FBaseDir,
        TInstallerBase::FInstallDir, TInstallerBase::FInstallExec,
        TInstallerBase::FPreInstallExec, TInstallerBase::FProductID, TInstallerBase::FProductTitle,
        TInstallerBase::FSetupIni;
};

class Engine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ResolveSpecialDirs(); }
    // An engine started as folder\name with the given arguments.
    static std::unique_ptr<ProbeInstaller> Start(const std::string& folder, StringList arguments = {},
                                                 const std::string& name = "MewlarkSetup.exe") {
        return CreateInstaller<ProbeInstaller>(SetupCommandLine{folder + "\\" + name, std::move(arguments)});
    }
    ScratchFolder scratch;
    const std::string title = Cp932(u8"ミューラーク");
};

TEST_F(Engine, ReadsTheInitKeysAndCommandListsAndTheRelaunchedCopyTheScriptItWasGiven) {
    // "表" and "ソ" end in a "\" byte.
    const std::string folder = scratch / Cp932(u8"表ソ");
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteText(folder + "\\setup.ini",
              "[init]\r\nProductID = Mewlark\r\nProductTitle=\"" + title +
                  "\"\r\nInstallDir=%InstallDir%%BaseDir%\\app\r\n"
                  "[PreInstallExec]\r\nExec1=  first  \r\nExec2=   \r\nExec9=last\r\nExec10=never\r\n"
                  "[InstallExec]\r\nExec0=&detached\r\n");
    const auto engine = Start(folder);
    EXPECT_EQ(std::tie(engine->FSetupIni, engine->FProductID, engine->FProductTitle),
              std::make_tuple(folder + "\\setup.ini", "Mewlark", title));
    // "%InstallDir%" is still empty while its own template is expanded.
    EXPECT_EQ(engine->FInstallDir, folder + "\\app");
    EXPECT_EQ(std::tie(engine->FPreInstallExec, engine->FInstallExec),
              std::make_tuple(StringList{"first", "last"}, StringList{"&detached"}));

    const std::string temp = scratch / "temp";
    CreateDirectoryA(temp.c_str(), nullptr);
    const auto copy = Start(temp, {"/ux", folder + "\\setup.ini"}, "MEW1.tmp");
    EXPECT_EQ(std::tie(copy->FBaseDir, copy->FProductID), std::make_tuple(folder, "Mewlark"));
}

TEST_F(Engine, AnInstallRunsTheScriptAsReadAtItsStartAndInstallsThatCopy) {
    const std::string install = scratch / "install";
    const std::string script = "[init]\r\nInstallDir=" + install +
                               "\r\n[InstallExec]\r\nExec0=?\"" + scratch / "none.exe" + "\" x\r\n"
                               "[InstallFiles]\r\n%InstallDir%\\,a.txt\r\n";
    WriteText(scratch / "setup.ini", script);
    WriteText(scratch / "a.txt", "a");
    WriteText(scratch / "b.txt", "b");
    WriteText(scratch / "MewlarkSetup.exe", "setup");  // becomes the uninstaller
    const auto engine = Start(scratch.Path());
    // Changed by a process of the user after the setup started.
    WriteText(scratch / "setup.ini",
              "[init]\r\nInstallDir=" + scratch / "other" + "\r\n[InstallFiles]\r\n%InstallDir%\\,b.txt\r\n");
    engine->Install();
    EXPECT_EQ(engine->shownError, "");
    EXPECT_TRUE(IsFile(install + "\\a.txt"));
    EXPECT_FALSE(IsFile(install + "\\b.txt") || IsFolder(scratch / "other"));
    EXPECT_EQ(ReadText(install + "\\setup.ini"), script);

    // "?" before a name the process start may look for elsewhere is an error of the script.
    WriteText(scratch / "setup.ini", "[init]\r\nInstallDir=" + install + "\r\n[InstallExec]\r\nExec0=?none.exe x\r\n");
    const auto unquoted = Start(scratch.Path());
    unquoted->Install();
    EXPECT_NE(unquoted->shownError, "");
}

TEST_F(Engine, TheRelaunchedCopyWaitsForItsStarterButNotForARunningProduct) {
    const std::string name = "MewlarkSetupTest-" + std::to_string(GetCurrentProcessId());
    WriteText(scratch / "setup.ini", "[init]\r\nUniqueName=" + name + "\r\n");
    // The starter holds the mutex on a thread that ends without releasing it: abandoned.
    for (const DWORD holdMs : {500ul, 60000ul}) {
        std::promise<void> held;
        const HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::thread holder([&] {
            const HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
            held.set_value();
            WaitForSingleObject(release, holdMs);
            CloseHandle(mutex);
        });
        held.get_future().wait();
        const bool running = Start(scratch.Path(), {"/ux", scratch / "setup.ini"}, "MEW2.tmp")->FAlreadyRunning;
        EXPECT_EQ(running, holdMs > kParentReleaseWaitMs);
        if (running) EXPECT_TRUE(Start(scratch.Path())->FAlreadyRunning);
        SetEvent(release);
        holder.join();
        CloseHandle(release);
    }
}

TEST_F(Engine, TheInstallsQuestionRefusalAndCompletionShowTheirBoxes) {
    // A script without files, "Start" or commands: the install places its uninstaller only.
    const std::string id = "MewlarkSetupTest-" + std::to_string(GetCurrentProcessId());
    WriteText(scratch / "setup.ini", "[init]\r\nProductID=" + id + "\r\nProductTitle=" + title + "\r\nInstallDir=" +
                                         scratch / "inst" + "\r\n");
    WriteText(scratch / "MewlarkSetup.exe", "setup");
    CreateDirectoryA((scratch / "inst").c_str(), nullptr);
    const auto engine = Start(scratch.Path());
    EXPECT_EQ(engine->ConfirmInstall(false), IDYES);
    auto answers = std::async(std::launch::async, [] { return AnswerBoxes(GetCurrentProcessId(), {IDNO, IDOK, IDOK}); });
    EXPECT_EQ(engine->ConfirmInstall(true), IDNO);
    engine->FAlreadyRunning = true;
    engine->Install();
    engine->FAlreadyRunning = false;
    engine->Install();
    const std::vector<SeenBox> seen = answers.get();
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + id);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(std::tie(seen[0].caption, seen[0].text, seen[0].buttons),
              std::make_tuple(title + Cp932(u8" インストーラ"),
                              "\"" + title + Cp932(u8"\" のインストールを開始します。\r\nよろしいですか？"),
                              std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(seen[1].text, "\"" + title + Cp932(u8"\" が起動中のためインストールできません。\r\n\"") + title +
                                Cp932(u8"\" を終了させてもう一度実行してください。"));
    EXPECT_EQ(seen[2].text, "\"" + title + Cp932(u8"\" のインストールが完了しました。"));
}

TEST(SpecialDirs, ShortcutsGoToEveryUsersMenuOrElseToTheUsersOwn) {
    const std::string kShellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    ResolveSpecialDirs();
    EXPECT_EQ(ProgramsDir(), ReadString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs"));
    EXPECT_NE(ProgramsDir(), ReadString(HKEY_CURRENT_USER, kShellFolders, "Programs")) << "the two must differ";
    {
        const SavedValue common(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs", std::nullopt);
        ResolveSpecialDirs();
        EXPECT_EQ(ProgramsDir(), ReadString(HKEY_CURRENT_USER, kShellFolders, "Programs"));
    }
    ResolveSpecialDirs();  // later tests see the folders of the unchanged prefix

    // A hard link planted at the log's name: the log is made anew, its target keeps its content.
    const ScratchFolder scratch;
    WriteText(scratch / "target.txt", "target");
    ASSERT_TRUE(CreateHardLinkA((scratch / "hcSetup.log").c_str(), (scratch / "target.txt").c_str(), nullptr));
    BindLog(scratch / "hcSetup.log");
    OpenLog();
    WriteLog(LogLevel::Info, "start setup");
    EXPECT_NE(ReadText(scratch / "hcSetup.log").find("] Info : start setup\r\n"), std::string::npos);
    EXPECT_EQ(ReadText(scratch / "target.txt"), "target");
    BindLog(std::string());
}

}  // namespace
