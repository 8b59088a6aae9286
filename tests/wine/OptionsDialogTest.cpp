// The options dialog from the program's resources, driven as a user would, with the sound
// settings in the real registry.
#include "notifier/settings/OptionsDialog.h"

#include <gtest/gtest.h>

#include <dlgs.h>

#include <cstdint>
#include <string>

#include "common/HandleOwners.h"
#include "notifier/res/Resource.h"
#include "notifier/settings/SettingsStore.h"
#include "tests/support/Registry.h"
#include "tests/support/Windows.h"

namespace {

using namespace test;

INT_PTR RunOptions(const std::function<void(HWND)>& script) {
    OptionsDialog dialog;
    return Drive(dialog, script);
}

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(HKEY_CURRENT_USER, kSettingsKey); }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, kSettingsKey); }
};

TEST_F(OptionsDialogTest, CancelSavesNothingAndOkWritesWhatTheControlsShowEvenDisabled) {
    for (const int button : {IDCANCEL, IDOK}) {
        const INT_PTR result = RunOptions([&](HWND window) {
            EXPECT_TRUE(Checked(window, IDC_SOUND_ENABLE) && Checked(window, IDC_SOUND_DEFAULT) &&
                        !Checked(window, IDC_WINDOWS_NOTIFICATION)) << "nothing saved yet";
            Click(window, IDC_WINDOWS_NOTIFICATION);
            Click(window, IDC_SOUND_CHOOSE);
            EXPECT_TRUE(Enabled(window, IDC_SOUND_FILE) && Enabled(window, IDC_BROWSE)) << "a file to choose";
            Type(window, IDC_SOUND_FILE, "%WINDIR%\\media\\\x95\x5C.wav");
            Click(window, IDC_SOUND_ENABLE);
            EXPECT_FALSE(Enabled(window, IDC_SOUND_FILE)) << "sound off disables the path";
            Click(window, button);
        });
        EXPECT_EQ(result, button);
    }
    EXPECT_EQ(std::make_tuple(settingsStore.ReadSoundEnable(), settingsStore.ReadSoundType(), settingsStore.ReadSoundFile(),
                              ReadValue(HKEY_CURRENT_USER, kSettingsKey, "WindowsNotification")),
              std::make_tuple(false, DWORD{1}, std::string("%WINDIR%\\media\\\x95\x5C.wav"), RegistryValue{REG_DWORD, Dword(1)}))
        << "as typed, unexpanded";
    RunOptions([](HWND window) {
        EXPECT_TRUE(Checked(window, IDC_WINDOWS_NOTIFICATION)) << "as stored";
        Click(window, IDC_WINDOWS_NOTIFICATION), Click(window, IDOK);
    });
    EXPECT_FALSE(settingsStore.ReadWindowsNotification());
}

// When a file was last read: Wine takes it from the file system (relatime here).
std::uint64_t LastRead(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return (std::uint64_t{data.ftLastAccessTime.dwHighDateTime} << 32) | data.ftLastAccessTime.dwLowDateTime;
}

TEST_F(OptionsDialogTest, BrowseFillsInThePickedFileAndPlayReadsTheFileShown) {
    // A file last read in the year 2000: Play's read moves that time.
    const std::string wave = "C:\\windows\\temp\\mewlark-play.wav";
    const FILETIME y2000{0x256D4000, 0x01BF53EB};
    ASSERT_TRUE(CopyFileA("C:\\windows\\win.ini", wave.c_str(), FALSE));
    SetFileTime(KernelHandle(CreateFileA(wave.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr)).Get(),
                nullptr, &y2000, nullptr);
    ASSERT_EQ(LastRead(wave), 0x01BF53EB256D4000u);
    settingsStore.WriteSoundFile("C:\\stored.wav");
    RunOptions([&](HWND window) {
        Click(window, IDC_SOUND_CHOOSE);
        ClickLater(window, IDC_BROWSE);
        HWND picker = nullptr;
        for (int i = 0; i < 400 && picker == nullptr; ++i) {
            Sleep(50);
            // The file dialog, once shown: its controls are there.
            while ((picker = FindWindowExA(nullptr, picker, "#32770", nullptr)) &&
                   (GetWindow(picker, GW_OWNER) != window || !IsWindowVisible(picker))) {}
        }
        ASSERT_NE(picker, nullptr);
        SetText(picker, cmb13, "picked.wav");
        SendMessageA(picker, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 400 && IsWindow(picker); ++i) Sleep(50);
        const std::string shown = TextOf(window, IDC_SOUND_FILE);
        EXPECT_EQ(shown.substr(shown.rfind('\\') + 1), "picked.wav") << shown;
        SetText(window, IDC_SOUND_FILE, "%SystemRoot%\\temp\\mewlark-play.wav");  // expanded when played
        Click(window, IDC_PLAY_TEST);
        for (int i = 0; i < 400 && LastRead(wave) == 0x01BF53EB256D4000u; ++i) Sleep(50);
        EXPECT_NE(LastRead(wave), 0x01BF53EB256D4000u) << "the path shown is played, not the stored one";
        Click(window, IDCANCEL);
    });
    DeleteFileA(wave.c_str());
}

}  // namespace
