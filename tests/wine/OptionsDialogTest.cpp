// The options dialog from the program's resources, driven as a user would, with the sound
// settings in the real registry.
#include "notifier/settings/OptionsDialog.h"

#include <gtest/gtest.h>

#include <string>

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

// Which of the sound box's five controls are enabled: "default", "choose", path, browse, play.
std::string EnabledControls(HWND dialog) {
    std::string states;
    for (const int id : {IDC_SOUND_DEFAULT, IDC_SOUND_CHOOSE, IDC_SOUND_FILE, IDC_BROWSE, IDC_PLAY_TEST}) {
        states += Enabled(dialog, id) ? '1' : '0';
    }
    return states;
}

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(HKEY_CURRENT_USER, kSettingsKey); }
    void TearDown() override { DeleteTree(HKEY_CURRENT_USER, kSettingsKey); }
    static std::optional<RegistryValue> Stored(const char* name) {
        return ReadValue(HKEY_CURRENT_USER, kSettingsKey, name);
    }
};

TEST_F(OptionsDialogTest, ControlsFollowTheBoxesAndOkWritesWhatTheyShowEvenDisabled) {
    const INT_PTR result = RunOptions([&](HWND window) {
        // First start: sound on, the system's sound.
        EXPECT_TRUE(Checked(window, IDC_SOUND_ENABLE));
        EXPECT_TRUE(Checked(window, IDC_SOUND_DEFAULT));
        EXPECT_FALSE(Checked(window, IDC_SOUND_CHOOSE));
        EXPECT_EQ(EnabledControls(window), "11001");
        // The radio buttons switch the path on and off without clearing it.
        Click(window, IDC_SOUND_CHOOSE);
        EXPECT_FALSE(Checked(window, IDC_SOUND_DEFAULT));
        EXPECT_EQ(EnabledControls(window), "11111");
        Type(window, IDC_SOUND_FILE, "%WINDIR%\\media\\\x95\x5C.wav");
        Click(window, IDC_SOUND_DEFAULT);
        EXPECT_EQ(EnabledControls(window), "11001");
        Click(window, IDC_SOUND_CHOOSE);
        EXPECT_EQ(TextOf(window, IDC_SOUND_FILE), "%WINDIR%\\media\\\x95\x5C.wav");
        // Sound off disables all five.
        Click(window, IDC_SOUND_ENABLE);
        EXPECT_EQ(EnabledControls(window), "00000");
        Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(Stored("SoundEnable"), (RegistryValue{REG_DWORD, Dword(0)}));
    EXPECT_EQ(Stored("SoundType"), (RegistryValue{REG_DWORD, Dword(1)}));
    EXPECT_EQ(Stored("SoundFile"), Sz("%WINDIR%\\media\\\x95\x5C.wav")) << "as typed, unexpanded";
}

TEST_F(OptionsDialogTest, CancelOrTheCaptionsCloseLeaveTheRegistryUntouched) {
    SetDword(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable", 5);
    SetDword(HKEY_CURRENT_USER, kSettingsKey, "SoundType", 7);
    const std::string longPath = "C:\\" + std::string(300, 'a') + ".wav";
    settingsStore.WriteSoundFile(longPath);
    const std::string before = Snapshot(HKEY_CURRENT_USER, kSettingsKey);
    for (const bool byCaption : {false, true}) {
        const INT_PTR result = RunOptions([&](HWND window) {
            EXPECT_TRUE(Checked(window, IDC_SOUND_ENABLE)) << "5 is on";
            EXPECT_TRUE(Checked(window, IDC_SOUND_CHOOSE)) << "7 is a chosen file";
            EXPECT_EQ(TextOf(window, IDC_SOUND_FILE), longPath) << "a long stored path is shown whole";
            SetText(window, IDC_SOUND_FILE, "changed.wav");
            Click(window, IDC_SOUND_DEFAULT);
            Click(window, IDC_SOUND_ENABLE);
            if (byCaption) {
                PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            } else {
                Click(window, IDCANCEL);
            }
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(Snapshot(HKEY_CURRENT_USER, kSettingsKey), before);
    }
}

}  // namespace
