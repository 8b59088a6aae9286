// The shell folders from the prefix's registry, the per-user fallback and the first error.
#include <gtest/gtest.h>
#include <windows.h>

#include "setup/SetupError.h"
#include "setup/SpecialDirs.h"
#include "tests/unit/setup/setup_test_support.h"

using namespace setup_test;

namespace {

const std::string kShellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

class SpecialDirs : public ::testing::Test {
protected:
    // Later tests of the program see the folders of an unchanged prefix.
    void TearDown() override { ResolveSpecialDirs(); }
};

TEST_F(SpecialDirs, ComeFromTheShellsRegistryKeys) {
    ResolveSpecialDirs();
    const std::string common = ReadValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs").data;
    ASSERT_FALSE(common.empty());
    EXPECT_EQ(ProgramsDir(), common);
    EXPECT_EQ(AppDataDir(), ReadValue(HKEY_CURRENT_USER, kShellFolders, "AppData").data);
    EXPECT_EQ(ProgramFilesDir(),
              ReadValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir").data);
    EXPECT_FALSE(AppDataDir().empty());
    EXPECT_FALSE(ProgramFilesDir().empty());

    char temp[MAX_PATH] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    ASSERT_GT(length, 1u);
    EXPECT_EQ(TempDir(), std::string(temp, length - 1));
}

TEST_F(SpecialDirs, WithoutCommonProgramsShortcutsGoToTheUsersMenu) {
    const SavedValue away(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs", true);
    ResolveSpecialDirs();
    const std::string user = ReadValue(HKEY_CURRENT_USER, kShellFolders, "Programs").data;
    ASSERT_FALSE(user.empty());
    EXPECT_EQ(ProgramsDir(), user);
}

TEST_F(SpecialDirs, NoProgramsMenuAtAllStopsWithItsText) {
    const SavedValue common(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs", true);
    const SavedValue user(HKEY_CURRENT_USER, kShellFolders, "Programs", true);
    try {
        ResolveSpecialDirs();
        ADD_FAILURE() << "no error raised";
    } catch (const SetupError& error) {
        EXPECT_EQ(std::string(error.what()), Cp932(u8"ProgramMenuDirの取得に失敗"));
    }
}

}  // namespace
