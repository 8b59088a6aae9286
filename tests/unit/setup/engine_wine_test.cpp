// The engine's state from a script: keys, lists, folders, the running-instance mutex, and its
// own message boxes answered from the test.
#include <gtest/gtest.h>
#include <windows.h>

#include "setup/SetupError.h"
#include "setup/SetupLib2.h"
#include "setup/SpecialDirs.h"
#include "tests/unit/setup/setup_test_support.h"

using namespace setup_test;

namespace {

// The engine with its product steps left empty and its state open to the test.
class ProbeInstaller : public TInstallerBase {
public:
    explicit ProbeInstaller(const SetupCommandLine& commandLine) : TInstallerBase(commandLine) {}
    void DoInstall() override {}
    void DoUninstall() override {}
    using TInstallerBase::ConfirmInstall;
    using TInstallerBase::ConfirmUninstall;
    using TInstallerBase::ShowWarning;
    using TInstallerBase::FAlreadyRunning, TInstallerBase::FAppDataDir, TInstallerBase::FBaseDir,
        TInstallerBase::FExePath, TInstallerBase::FInstallDir, TInstallerBase::FInstallDirTemplate,
        TInstallerBase::FInstallExec, TInstallerBase::FInstallPrompt, TInstallerBase::FInstallQuoll,
        TInstallerBase::FLogPath, TInstallerBase::FPreInstallExec, TInstallerBase::FPreUninstallExec,
        TInstallerBase::FProductID, TInstallerBase::FProductTitle, TInstallerBase::FProgramFilesDir,
        TInstallerBase::FProgramsDir, TInstallerBase::FSetupIni, TInstallerBase::FStart, TInstallerBase::FTempDir,
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
                  "UniqueName=\r\nStart=\"\"%InstallDir%\\Mewlark.exe\"\"\r\n"
                  "[PreInstallExec]\r\nExec1=  first  \r\nExec2=   \r\nExec9=last\r\nExec10=never\r\n"
                  "[InstallExec]\r\nExec0=&detached\r\n[UninstallExec]\r\nexec3=x\r\n");
    const auto engine = Start(folder);
    EXPECT_EQ(engine->FExePath, folder + "\\MewlarkSetup.exe");
    EXPECT_EQ(engine->FBaseDir, folder);
    EXPECT_EQ(engine->FSetupIni, folder + "\\setup.ini");
    EXPECT_EQ(engine->FProductID, "Mewlark");
    EXPECT_EQ(engine->FProductTitle, title);
    // "%InstallDir%" is still empty while its own template is expanded.
    EXPECT_EQ(engine->FInstallDirTemplate, "%InstallDir%%BaseDir%\\app");
    EXPECT_EQ(engine->FInstallDir, folder + "\\app");
    EXPECT_TRUE(engine->FInstallQuoll);
    EXPECT_FALSE(engine->FInstallPrompt);
    EXPECT_TRUE(engine->FUninstallPrompt);
    // The profile reader removes one pair of quotes that encloses the whole value.
    EXPECT_EQ(engine->FStart, "\"%InstallDir%\\Mewlark.exe\"");
    EXPECT_EQ(engine->FPreInstallExec, (StringList{"first", "last"}));
    EXPECT_EQ(engine->FInstallExec, (StringList{"&detached"}));
    EXPECT_EQ(engine->FUninstallExec, (StringList{"x"}));
    EXPECT_TRUE(engine->FPreUninstallExec.empty());
    EXPECT_FALSE(engine->FAlreadyRunning);

    EXPECT_EQ(engine->FTempDir, TempDir());
    EXPECT_EQ(engine->FLogPath, TempDir() + "\\hcSetup.log");
    EXPECT_EQ(engine->FProgramsDir, ProgramsDir());
    EXPECT_EQ(engine->FAppDataDir, AppDataDir());
    EXPECT_EQ(engine->FProgramFilesDir, ProgramFilesDir());
    EXPECT_EQ(engine->ExpandMacros("%PF%\\a %PF% %pf% %APP%"), ProgramFilesDir() + "\\a %PF% %pf% " + AppDataDir());
}

TEST_F(Engine, WithoutAScriptEveryKeyTakesItsDefault) {
    const auto engine = Start(scratch.Path());
    EXPECT_TRUE(engine->FInstallDir.empty());
    EXPECT_TRUE(engine->FProductID.empty());
    EXPECT_TRUE(engine->FProductTitle.empty());
    EXPECT_TRUE(engine->FInstallPrompt);
    EXPECT_TRUE(engine->FUninstallPrompt);
    EXPECT_FALSE(engine->FInstallQuoll);
    EXPECT_TRUE(engine->FInstallExec.empty() && engine->FPreInstallExec.empty());
    try {
        LoadScriptLines(engine->FSetupIni);
        ADD_FAILURE() << "no error raised";
    } catch (const SetupError& error) {
        EXPECT_EQ(std::string(error.what()), Cp932(u8"ファイル ") + engine->FSetupIni + Cp932(u8" は開けません"));
    }
}

TEST_F(Engine, TheRelaunchSwitchTakesTheScriptFromTheCommandLineOnlyInLowerCase) {
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteText(folder + "\\setup.ini", "[init]\r\nProductID=FromInstallFolder\r\n");
    const std::string temp = scratch / "temp";
    CreateDirectoryA(temp.c_str(), nullptr);
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);

    const auto copy = Start(temp, {"/ux", folder + "\\setup.ini"}, "MEW1.tmp");
    EXPECT_EQ(copy->FSetupIni, folder + "\\setup.ini");
    EXPECT_EQ(copy->FBaseDir, folder);
    EXPECT_EQ(copy->FProductID, "FromInstallFolder");
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_TRUE(lstrcmpiA(current, temp.c_str()) == 0) << current;
    SetCurrentDirectoryA(previous);

    const auto upper = Start(temp, {"/UX", folder + "\\setup.ini"}, "MEW1.tmp");
    EXPECT_EQ(upper->FSetupIni, temp + "\\setup.ini");
    EXPECT_TRUE(upper->FProductID.empty());
}

class RunningMutex : public Engine {
protected:
    void SetUp() override {
        name = "MewlarkSetupTest-" + std::to_string(GetCurrentProcessId());
        WriteText(scratch / "setup.ini", "[init]\r\nUniqueName=" + name + "\r\n");
    }
    // Holds the mutex on a thread of its own until released; the thread ends without
    // releasing it, so it is abandoned.
    void HoldOnAnotherThread() {
        holder = std::thread([this] {
            const HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
            SetEvent(held);
            WaitForSingleObject(release, 60000);
            CloseHandle(mutex);
        });
        WaitForSingleObject(held, 60000);
    }
    void TearDown() override {
        SetEvent(release);
        if (holder.joinable()) holder.join();
        CloseHandle(held);
        CloseHandle(release);
    }
    std::string name;
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread holder;
};

TEST_F(RunningMutex, MarksASecondCopyAsRunning) {
    const auto first = Start(scratch.Path());
    EXPECT_FALSE(first->FAlreadyRunning);
    EXPECT_TRUE(Start(scratch.Path())->FAlreadyRunning);
    EXPECT_TRUE(Start(scratch.Path(), {}, "uninstall.exe")->FAlreadyRunning);
}

TEST_F(RunningMutex, TheRelaunchedCopyWaitsForItsStarterToLetGo) {
    HoldOnAnotherThread();
    // The holder ends a moment later, as the first uninstall process does.
    std::thread ending([this] {
        Sleep(500);
        SetEvent(release);
    });
    const auto copy = Start(scratch.Path(), {"/ux", scratch / "setup.ini"}, "MEW2.tmp");
    ending.join();
    EXPECT_FALSE(copy->FAlreadyRunning);
}

TEST_F(RunningMutex, TheRelaunchedCopyStillRefusesAProductThatKeepsRunning) {
    HoldOnAnotherThread();
    const DWORD start = GetTickCount();
    const auto copy = Start(scratch.Path(), {"/ux", scratch / "setup.ini"}, "MEW3.tmp");
    EXPECT_TRUE(copy->FAlreadyRunning);
    EXPECT_GE(GetTickCount() - start, kParentReleaseWaitMs - 100);
    // An install or the uninstall request does not wait.
    const DWORD install = GetTickCount();
    EXPECT_TRUE(Start(scratch.Path())->FAlreadyRunning);
    EXPECT_LT(GetTickCount() - install, kParentReleaseWaitMs);
}

TEST_F(Engine, ConfirmationsAndWarningsShowTheirBoxes) {
    WriteText(scratch / "setup.ini", "[init]\r\nProductTitle=" + title + "\r\n");
    const auto engine = Start(scratch.Path());
    EXPECT_EQ(engine->ConfirmInstall(false), IDYES);
    EXPECT_EQ(engine->ConfirmUninstall(false), IDYES);

    BoxAnswerer answerer({{IDNO, nullptr}, {IDYES, nullptr}, {IDOK, nullptr}});
    EXPECT_EQ(engine->ConfirmInstall(true), IDNO);
    EXPECT_EQ(engine->ConfirmUninstall(true), IDYES);
    engine->ShowWarning("warning text");
    const std::vector<SeenBox>& seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].caption, title + Cp932(u8" インストーラ"));
    EXPECT_EQ(seen[0].text, "\"" + title + Cp932(u8"\" のインストールを開始します。\r\nよろしいですか？"));
    EXPECT_EQ(seen[0].buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_EQ(seen[1].caption, title + Cp932(u8" アンインストーラ"));
    EXPECT_EQ(seen[1].text, "\"" + title + Cp932(u8"\" のアンインストールを開始します。\r\nよろしいですか？"));
    EXPECT_EQ(seen[2].text, "warning text");
    EXPECT_EQ(seen[2].buttons, (std::vector<int>{IDOK}));
}

TEST_F(Engine, AFileInUseIsAskedForUntilDeletedOrCancelled) {
    WriteText(scratch / "setup.ini", "[init]\r\nProductTitle=" + title + "\r\n");
    const auto engine = Start(scratch.Path());
    const std::string path = scratch / Cp932(u8"表示.exe");
    WriteText(path, "x");
    HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    {
        BoxAnswerer answerer({{IDRETRY, nullptr}, {IDCANCEL, nullptr}});
        EXPECT_FALSE(engine->DeleteFileWithRetry(path));
        const std::vector<SeenBox>& seen = answerer.Seen();
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[1].caption, Cp932(u8"削除"));
        EXPECT_EQ(seen[1].text,
                  path + Cp932(u8" を削除できません。\r\n\"") + title + Cp932(u8"\" を使用中の場合は終了させてください。"));
        EXPECT_EQ(seen[1].buttons, (std::vector<int>{IDCANCEL, IDRETRY}));
    }
    EXPECT_TRUE(IsFile(path));

    // Retry after the file was let go deletes it.
    BoxAnswerer answerer({{IDRETRY, [&] { CloseHandle(held); }}});
    EXPECT_TRUE(engine->DeleteFileWithRetry(path));
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_FALSE(IsFile(path));
    // Missing files and folders count as deleted.
    EXPECT_TRUE(engine->DeleteFileWithRetry(path));
    EXPECT_TRUE(engine->DeleteFileWithRetry(scratch.Path()));
}

}  // namespace
