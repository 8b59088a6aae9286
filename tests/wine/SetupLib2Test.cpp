// The setup engine TInstallerBase in process: its state from a script, the relaunched copy's
// wait for its starter, its own message boxes, the shell folders and the log's layout.
#include "setup/engine/SetupLib2.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <future>
#include <thread>

#include "setup/engine/SetupError.h"
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
    using TInstallerBase::ConfirmInstall, TInstallerBase::ConfirmUninstall, TInstallerBase::ShowWarning;
    using TInstallerBase::FAlreadyRunning, TInstallerBase::FBaseDir, TInstallerBase::FInstallDir,
        TInstallerBase::FInstallExec, TInstallerBase::FInstallPrompt, TInstallerBase::FInstallQuoll,
        TInstallerBase::FLogPath, TInstallerBase::FPreInstallExec, TInstallerBase::FProductID,
        TInstallerBase::FProductTitle, TInstallerBase::FSetupIni, TInstallerBase::FStart,
        TInstallerBase::FUninstallExec, TInstallerBase::FUninstallPrompt;
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

TEST_F(Engine, ReadsTheInitKeysAndCommandListsAndTakesTheRelaunchSwitchOnlyInLowerCase) {
    // "表" and "ソ" end in a "\" byte.
    const std::string folder = scratch / Cp932(u8"表ソ");
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteText(folder + "\\setup.ini",
              "[init]\r\nProductID = Mewlark\r\nProductTitle=\"" + title +
                  "\"\r\nInstallDir=%InstallDir%%BaseDir%\\app\r\nInstallQuoll=TRUE\r\nInstallPrompt=1\r\n"
                  "UninstallPrompt=\r\nStart=\"\"%InstallDir%\\Mewlark.exe\"\"\r\n"
                  "[PreInstallExec]\r\nExec1=  first  \r\nExec2=   \r\nExec9=last\r\nExec10=never\r\n"
                  "[InstallExec]\r\nExec0=&detached\r\n[UninstallExec]\r\nexec3=x\r\n");
    const auto engine = Start(folder);
    EXPECT_EQ(std::tie(engine->FSetupIni, engine->FProductID, engine->FProductTitle, engine->FStart),
              std::make_tuple(folder + "\\setup.ini", "Mewlark", title, "\"%InstallDir%\\Mewlark.exe\""));
    // "%InstallDir%" is still empty while its own template is expanded.
    EXPECT_EQ(engine->FInstallDir, folder + "\\app");
    EXPECT_EQ(std::make_tuple(engine->FInstallQuoll, engine->FInstallPrompt, engine->FUninstallPrompt),
              std::make_tuple(true, false, true));
    EXPECT_EQ(std::tie(engine->FPreInstallExec, engine->FInstallExec, engine->FUninstallExec),
              std::make_tuple(StringList{"first", "last"}, StringList{"&detached"}, StringList{"x"}));
    EXPECT_EQ(engine->FLogPath, TempDir() + "\\hcSetup.log");
    EXPECT_EQ(engine->ExpandMacros("%PF%\\a %APP%"), ProgramFilesDir() + "\\a " + AppDataDir());

    const std::string temp = scratch / "temp";
    CreateDirectoryA(temp.c_str(), nullptr);
    const auto copy = Start(temp, {"/ux", folder + "\\setup.ini"}, "MEW1.tmp");
    EXPECT_EQ(std::tie(copy->FBaseDir, copy->FProductID), std::make_tuple(folder, "Mewlark"));
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_TRUE(lstrcmpiA(current, temp.c_str()) == 0) << current;
    const auto upper = Start(temp, {"/UX", folder + "\\setup.ini"}, "MEW1.tmp");
    EXPECT_EQ(std::tie(upper->FSetupIni, upper->FProductID), std::make_tuple(temp + "\\setup.ini", ""));
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
        if (running) {
            const DWORD install = GetTickCount();
            EXPECT_TRUE(Start(scratch.Path())->FAlreadyRunning);
            EXPECT_LT(GetTickCount() - install, kParentReleaseWaitMs) << "an install does not wait";
        }
        SetEvent(release);
        holder.join();
        CloseHandle(release);
    }
}

TEST_F(Engine, ConfirmationsAndWarningsShowTheirBoxes) {
    WriteText(scratch / "setup.ini", "[init]\r\nProductTitle=" + title + "\r\n");
    const auto engine = Start(scratch.Path());
    EXPECT_EQ(std::make_pair(engine->ConfirmInstall(false), engine->ConfirmUninstall(false)), std::make_pair(IDYES, IDYES));
    auto answers = std::async(std::launch::async, [] { return AnswerBoxes(GetCurrentProcessId(), {IDNO, IDYES, IDOK}); });
    EXPECT_EQ(engine->ConfirmInstall(true), IDNO);
    EXPECT_EQ(engine->ConfirmUninstall(true), IDYES);
    engine->ShowWarning("warning text");
    const std::vector<SeenBox> seen = answers.get();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(std::tie(seen[0].caption, seen[0].text, seen[0].buttons),
              std::make_tuple(title + Cp932(u8" インストーラ"),
                              "\"" + title + Cp932(u8"\" のインストールを開始します。\r\nよろしいですか？"),
                              std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(std::tie(seen[1].caption, seen[1].text),
              std::make_tuple(title + Cp932(u8" アンインストーラ"),
                              "\"" + title + Cp932(u8"\" のアンインストールを開始します。\r\nよろしいですか？")));
    EXPECT_EQ(std::tie(seen[2].text, seen[2].buttons), std::make_tuple("warning text", std::vector<int>{IDOK}));
}

TEST(SpecialDirsAndLog, TheUsersMenuStandsInForTheCommonOneAndLogLinesCarryTheLocalesDateAndTime) {
    const std::string kShellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    {
        const SavedValue common(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs", std::nullopt);
        ResolveSpecialDirs();
        EXPECT_EQ(ProgramsDir(), ReadString(HKEY_CURRENT_USER, kShellFolders, "Programs"));
        const SavedValue none(HKEY_CURRENT_USER, kShellFolders, "Programs", std::nullopt);
        try {
            ResolveSpecialDirs();
            ADD_FAILURE() << "no error raised";
        } catch (const SetupError& error) {
            EXPECT_EQ(std::string(error.what()), Cp932(u8"ProgramMenuDirの取得に失敗"));
        }
    }
    ResolveSpecialDirs();  // later tests see the folders of the unchanged prefix

    const ScratchFolder scratch;
    // A hard link planted at the log's name: the log is made anew, its target keeps its content.
    WriteText(scratch / "target.txt", "target");
    ASSERT_TRUE(CreateHardLinkA((scratch / "hcSetup.log").c_str(), (scratch / "target.txt").c_str(), nullptr));
    BindLog(scratch / "hcSetup.log");
    OpenLog();
    const auto stamp = [](const SYSTEMTIME& time) {
        char date[64] = {}, clock[64] = {};
        GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, sizeof(date));
        GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, sizeof(clock));
        return "[" + std::string(date) + " " + clock + "] Info : start setup\r\n";
    };
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    WriteLog(LogLevel::Info, "start setup");
    GetLocalTime(&after);
    const std::string text = ReadText(scratch / "hcSetup.log");
    EXPECT_TRUE(text == stamp(before) || text == stamp(after)) << text;
    EXPECT_EQ(ReadText(scratch / "target.txt"), "target");
    BindLog(scratch / "missing\\hcSetup.log");
    OpenLog();
    WriteLog(LogLevel::Info, "start setup");
    EXPECT_FALSE(IsFile(scratch / "missing\\hcSetup.log"));
    BindLog(std::string());
}

}  // namespace
