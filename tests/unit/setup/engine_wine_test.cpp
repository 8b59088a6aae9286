// The engine's state from a script, the shell folders, the running-instance mutex, the log
// layout, and the engine's own message boxes answered from the test.
#include <gtest/gtest.h>
#include <windows.h>

#include <future>
#include <thread>

#include "setup/engine/SetupError.h"
#include "setup/engine/SetupLib2.h"
#include "setup/engine/SetupLog.h"
#include "setup/engine/SpecialDirs.h"
#include "tests/unit/setup/setup_test_support.h"

using namespace setup_test;

namespace {

const std::string kShellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The engine with its product steps left empty and its state open to the test.
class ProbeInstaller : public TInstallerBase {
public:
    explicit ProbeInstaller(const SetupCommandLine& commandLine) : TInstallerBase(commandLine) {}
    void DoInstall() override {}
    void DoUninstall() override {}
    using TInstallerBase::ConfirmInstall, TInstallerBase::ConfirmUninstall, TInstallerBase::ShowWarning;
    using TInstallerBase::FAlreadyRunning, TInstallerBase::FBaseDir, TInstallerBase::FExePath,
        TInstallerBase::FInstallDir, TInstallerBase::FInstallExec, TInstallerBase::FInstallPrompt,
        TInstallerBase::FInstallQuoll, TInstallerBase::FLogPath, TInstallerBase::FPreInstallExec,
        TInstallerBase::FProductID, TInstallerBase::FProductTitle, TInstallerBase::FSetupIni, TInstallerBase::FStart,
        TInstallerBase::FUninstallExec, TInstallerBase::FUninstallPrompt;
};

class Engine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ResolveSpecialDirs(); }
    // An engine started as folder\name with the given arguments.
    std::unique_ptr<ProbeInstaller> Start(const std::string& folder, StringList arguments = {},
                                          const std::string& name = "MewlarkSetup.exe") const {
        return CreateInstaller<ProbeInstaller>(SetupCommandLine{folder + "\\" + name, std::move(arguments)});
    }

    ScratchFolder scratch;
    // "表" and "ソ" end in a "\" byte.
    const std::string folder = scratch / Cp932(u8"表ソ");
    const std::string title = Cp932(u8"ミューラーク");
};

TEST_F(Engine, ReadsTheInitKeysAndCommandLists) {
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteText(folder + "\\setup.ini",
              "[init]\r\nProductID = Mewlark\r\nProductTitle=\"" + title +
                  "\"\r\nInstallDir=%InstallDir%%BaseDir%\\app\r\nInstallQuoll=TRUE\r\nInstallPrompt=1\r\nUninstallPrompt=\r\n"
                  "Start=\"\"%InstallDir%\\Mewlark.exe\"\"\r\n"
                  "[PreInstallExec]\r\nExec1=  first  \r\nExec2=   \r\nExec9=last\r\nExec10=never\r\n"
                  "[InstallExec]\r\nExec0=&detached\r\n[UninstallExec]\r\nexec3=x\r\n");
    const auto engine = Start(folder);
    EXPECT_EQ(engine->FSetupIni, folder + "\\setup.ini");
    EXPECT_EQ(engine->FProductID, "Mewlark");
    EXPECT_EQ(engine->FProductTitle, title);
    // "%InstallDir%" is still empty while its own template is expanded.
    EXPECT_EQ(engine->FInstallDir, folder + "\\app");
    EXPECT_TRUE(engine->FInstallQuoll);
    EXPECT_FALSE(engine->FInstallPrompt);
    EXPECT_TRUE(engine->FUninstallPrompt);
    // The profile reader removes one pair of quotes that encloses the whole value.
    EXPECT_EQ(engine->FStart, "\"%InstallDir%\\Mewlark.exe\"");
    EXPECT_EQ(engine->FPreInstallExec, (StringList{"first", "last"}));
    EXPECT_EQ(engine->FInstallExec, (StringList{"&detached"}));
    EXPECT_EQ(engine->FUninstallExec, (StringList{"x"}));
    EXPECT_EQ(engine->FLogPath, TempDir() + "\\hcSetup.log");
    EXPECT_EQ(engine->ExpandMacros("%PF%\\a %PF% %pf% %APP%"), ProgramFilesDir() + "\\a %PF% %pf% " + AppDataDir());
}

TEST_F(Engine, TheRelaunchSwitchTakesTheScriptFromTheCommandLineOnlyInLowerCase) {
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteText(folder + "\\setup.ini", "[init]\r\nProductID=FromInstallFolder\r\n");
    const std::string temp = scratch / "temp";
    CreateDirectoryA(temp.c_str(), nullptr);

    const auto copy = Start(temp, {"/ux", folder + "\\setup.ini"}, "MEW1.tmp");
    EXPECT_EQ(copy->FBaseDir, folder);
    EXPECT_EQ(copy->FProductID, "FromInstallFolder");
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_TRUE(lstrcmpiA(current, temp.c_str()) == 0) << current;

    const auto upper = Start(temp, {"/UX", folder + "\\setup.ini"}, "MEW1.tmp");
    EXPECT_EQ(upper->FSetupIni, temp + "\\setup.ini");
    EXPECT_TRUE(upper->FProductID.empty());
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
        const DWORD start = GetTickCount();
        const bool running = Start(scratch.Path(), {"/ux", scratch / "setup.ini"}, "MEW2.tmp")->FAlreadyRunning;
        EXPECT_EQ(running, holdMs > kParentReleaseWaitMs);
        if (running) {
            EXPECT_GE(GetTickCount() - start, kParentReleaseWaitMs - 100);
            // An install does not wait.
            const DWORD install = GetTickCount();
            EXPECT_TRUE(Start(scratch.Path())->FAlreadyRunning);
            EXPECT_LT(GetTickCount() - install, kParentReleaseWaitMs);
        }
        SetEvent(release);
        holder.join();
        CloseHandle(release);
    }
}

TEST_F(Engine, ConfirmationsAndWarningsShowTheirBoxes) {
    WriteText(scratch / "setup.ini", "[init]\r\nProductTitle=" + title + "\r\n");
    const auto engine = Start(scratch.Path());
    EXPECT_EQ(engine->ConfirmInstall(false), IDYES);
    EXPECT_EQ(engine->ConfirmUninstall(false), IDYES);

    const std::vector<int> buttons{IDNO, IDYES, IDOK};
    auto answers = std::async(std::launch::async, AnswerBoxes, GetCurrentProcessId(), buttons);
    EXPECT_EQ(engine->ConfirmInstall(true), IDNO);
    EXPECT_EQ(engine->ConfirmUninstall(true), IDYES);
    engine->ShowWarning("warning text");
    const std::vector<SeenBox> seen = answers.get();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].caption, title + Cp932(u8" インストーラ"));
    EXPECT_EQ(seen[0].text, "\"" + title + Cp932(u8"\" のインストールを開始します。\r\nよろしいですか？"));
    EXPECT_EQ(seen[0].buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(seen[1].caption, title + Cp932(u8" アンインストーラ"));
    EXPECT_EQ(seen[1].text, "\"" + title + Cp932(u8"\" のアンインストールを開始します。\r\nよろしいですか？"));
    EXPECT_EQ(seen[2].text, "warning text");
    EXPECT_EQ(seen[2].buttons, (std::vector<int>{IDOK}));
}

TEST(SpecialDirs, ShortcutsGoToTheUsersMenuWithoutTheCommonOneAndNoMenuStops) {
    {
        const SavedValue common(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs", true);
        ResolveSpecialDirs();
        const std::string user = ReadValue(HKEY_CURRENT_USER, kShellFolders, "Programs").data;
        ASSERT_FALSE(user.empty());
        EXPECT_EQ(ProgramsDir(), user);

        const SavedValue none(HKEY_CURRENT_USER, kShellFolders, "Programs", true);
        try {
            ResolveSpecialDirs();
            ADD_FAILURE() << "no error raised";
        } catch (const SetupError& error) {
            EXPECT_EQ(std::string(error.what()), Cp932(u8"ProgramMenuDirの取得に失敗"));
        }
    }
    // Later tests see the folders of the unchanged prefix.
    ResolveSpecialDirs();
}

TEST(SetupLog, LinesCarryTheUsersShortDateAndLongTimeAndAFileThatCannotBeMadeDropsThem) {
    const ScratchFolder scratch;
    const auto stamp = [](const SYSTEMTIME& time) {
        char date[64] = {};
        char clock[64] = {};
        GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, sizeof(date));
        GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, sizeof(clock));
        return "[" + std::string(date) + " " + clock + "] Info : start setup\r\n";
    };
    BindLog(scratch / "hcSetup.log");
    OpenLog();
    SYSTEMTIME before;
    GetLocalTime(&before);
    WriteLog(LogLevel::Info, "start setup");
    SYSTEMTIME after;
    GetLocalTime(&after);
    const std::string text = ReadText(scratch / "hcSetup.log");
    EXPECT_TRUE(text == stamp(before) || text == stamp(after)) << text;

    BindLog(scratch / "missing\\hcSetup.log");
    OpenLog();
    WriteLog(LogLevel::Info, "start setup");
    EXPECT_FALSE(IsFile(scratch / "missing\\hcSetup.log"));
    BindLog(std::string());
}

}  // namespace
