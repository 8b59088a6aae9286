// The options dialog, run from the program's resources and driven as a user would, with the
// sound settings in the real registry.
#include "notifier/settings/options_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "notifier/res/resource.h"
#include "notifier/settings/settings_store.h"
#include "tests/unit/settings/dialog_driver.h"
#include "tests/unit/settings/registry_fixture.h"

namespace {

using test::Checked;
using test::Click;
using test::Enabled;
using test::Text;
using test::Type;

INT_PTR RunOptions(const std::function<void(HWND)>& script) {
    OptionsDialog dialog;
    return test::RunDriven([&] { return dialog.Run(GetModuleHandleA(nullptr)); }, script);
}

// Which of the sound box's five controls are enabled: "default", "choose", path, browse, play.
std::string EnabledControls(HWND dialog) {
    std::string states;
    for (const int id : {IDC_SOUND_DEFAULT, IDC_SOUND_CHOOSE, IDC_SOUND_FILE, IDC_BROWSE, IDC_PLAY_TEST}) {
        states += Enabled(dialog, id) ? '1' : '0';
    }
    return states;
}

std::optional<test::RawValue> Stored(const char* name) { return test::GetRaw(HKEY_CURRENT_USER, test::kSettingsKey, name); }

class OptionsDialogTest : public test::CleanSettingsKey {};

TEST_F(OptionsDialogTest, ControlsFollowTheBoxesAndOkWritesWhatTheyShowEvenDisabled) {
    // "Mewlark オプション", "着信音の設定", "新着メールがあったとき着信音を鳴らす(&S)",
    // "システムのデフォルトの着信音", "着信音を選択する", "選択(&R)...", "再生テスト(&P)" in code page 932.
    const std::vector<std::string> texts = {
        "\x92\x85\x90M\x89\xB9\x82\xCC\x90\xDD\x92\xE8",
        "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xAA\x82\xA0\x82\xC1\x82\xBD\x82\xC6\x82\xAB\x92\x85\x90M\x89\xB9\x82\xF0"
        "\x96\xC2\x82\xE7\x82\xB7(&S)",
        "\x83V\x83X\x83" "e\x83\x80\x82\xCC\x83" "f\x83t\x83H\x83\x8B\x83g\x82\xCC\x92\x85\x90M\x89\xB9",
        "\x92\x85\x90M\x89\xB9\x82\xF0\x91I\x91\xF0\x82\xB7\x82\xE9",
        "",
        "\x91I\x91\xF0(&R)...",
        "\x8D\xC4\x90\xB6\x83" "e\x83X\x83g(&P)",
        "OK",
        test::kCancelText};
    const INT_PTR result = RunOptions([&](HWND window) {
        const test::DialogLook look = test::LookAt(window);
        EXPECT_EQ(look.caption, "Mewlark \x83I\x83v\x83V\x83\x87\x83\x93");
        EXPECT_EQ(look.texts, texts);
        EXPECT_EQ(look.fontFace, test::kDialogFontFace);
        // The selected radio button takes the tab stop at run time; the other one has none.
        EXPECT_EQ(GetWindowLongA(GetDlgItem(window, IDC_SOUND_CHOOSE), GWL_STYLE) & WS_TABSTOP, 0);

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
        EXPECT_EQ(Text(window, IDC_SOUND_FILE), "%WINDIR%\\media\\\x95\x5C.wav");
        // Sound off disables all five.
        Click(window, IDC_SOUND_ENABLE);
        EXPECT_EQ(EnabledControls(window), "00000");
        Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(Stored("SoundEnable"), (test::RawValue{REG_DWORD, test::Dword(0)}));
    EXPECT_EQ(Stored("SoundType"), (test::RawValue{REG_DWORD, test::Dword(1)}));
    EXPECT_EQ(Stored("SoundFile"), test::Sz("%WINDIR%\\media\\\x95\x5C.wav")) << "as typed, unexpanded";
}

TEST_F(OptionsDialogTest, CancelLeavesTheRegistryUntouched) {
    test::SetRawDword(HKEY_CURRENT_USER, test::kSettingsKey, "SoundEnable", 5);
    test::SetRawDword(HKEY_CURRENT_USER, test::kSettingsKey, "SoundType", 7);
    const std::string longPath = "C:\\" + std::string(300, 'a') + ".wav";
    settingsStore.WriteSoundFile(longPath);
    settingsStore.WriteUserId("someone");
    const std::string before = test::Snapshot(HKEY_CURRENT_USER, test::kSettingsKey);
    for (const bool byCaption : {false, true}) {
        const INT_PTR result = RunOptions([&](HWND window) {
            EXPECT_TRUE(Checked(window, IDC_SOUND_ENABLE)) << "5 is on";
            EXPECT_TRUE(Checked(window, IDC_SOUND_CHOOSE)) << "7 is a chosen file";
            EXPECT_EQ(Text(window, IDC_SOUND_FILE), longPath) << "a long stored path is shown whole";
            Type(window, IDC_SOUND_FILE, "x");
            EXPECT_EQ(Text(window, IDC_SOUND_FILE), longPath) << "but takes no more typing";
            test::SetText(window, IDC_SOUND_FILE, "changed.wav");
            Click(window, IDC_SOUND_DEFAULT);
            Click(window, IDC_SOUND_ENABLE);
            if (byCaption) {
                PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            } else {
                Click(window, IDCANCEL);
            }
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, test::kSettingsKey), before);
    }
}

// Drives the open-file dialog that Browse opens: checks its one filter, then enters fileName
// and confirms, or cancels when fileName is empty.
void AnswerOpenFileDialog(HWND options, const std::string& fileName) {
    constexpr int kFileType = 0x470, kReadOnly = 0x410, kFileNameCombo = 0x47C, kFileNameEdit = 0x480;
    test::ClickLater(options, IDC_BROWSE);
    const HWND chooser = test::WaitForDialog(GetWindowThreadProcessId(options, nullptr), options);
    ASSERT_NE(chooser, nullptr) << "no open-file dialog owned by the options dialog";
    const HWND fileType = GetDlgItem(chooser, kFileType);
    EXPECT_EQ(SendMessageA(fileType, CB_GETCOUNT, 0, 0), 1);
    char filter[64] = {};
    SendMessageA(fileType, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(filter));
    EXPECT_STREQ(filter, "wav\x83t\x83@\x83" "C\x83\x8B(*.wav)");  // "wavファイル(*.wav)"
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(chooser, kReadOnly))) << "no read-only box";
    if (!fileName.empty()) {
        test::SetText(chooser, GetDlgItem(chooser, kFileNameCombo) != nullptr ? kFileNameCombo : kFileNameEdit, fileName);
    }
    PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(fileName.empty() ? IDCANCEL : IDOK, BN_CLICKED), 0);
    const DWORD start = GetTickCount();
    while (IsWindow(chooser) && GetTickCount() - start < 10000) Sleep(10);
    EXPECT_FALSE(IsWindow(chooser));
}

TEST_F(OptionsDialogTest, BrowsePutsTheChosenFileIntoThePathAndCancelKeepsIt) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    char longTemp[MAX_PATH] = {};
    GetLongPathNameA(temp, longTemp, MAX_PATH);
    const std::string wave = std::string(longTemp) + "\x95\x5C-chime.wav";
    const HANDLE file = CreateFileA(wave.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    settingsStore.WriteSoundType(kSoundTypeChosenFile);
    settingsStore.WriteSoundFile("kept.wav");

    RunOptions([&](HWND window) {
        AnswerOpenFileDialog(window, "");
        EXPECT_EQ(Text(window, IDC_SOUND_FILE), "kept.wav") << "a cancelled choice keeps the text";
        AnswerOpenFileDialog(window, wave);
        EXPECT_EQ(Text(window, IDC_SOUND_FILE), wave);
        Click(window, IDOK);
    });
    EXPECT_EQ(settingsStore.ReadSoundFile(), wave);
    DeleteFileA(wave.c_str());
}

}  // namespace
