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
using test::GetRaw;
using test::kSettingsKey;
using test::RawValue;
using test::Text;
using test::Type;

// "Mewlark オプション", "着信音の設定", "新着メールがあったとき着信音を鳴らす(&S)",
// "システムのデフォルトの着信音", "着信音を選択する", "選択(&R)...", "再生テスト(&P)",
// "wavファイル(*.wav)" in code page 932.
const std::string kCaption = "Mewlark \x83I\x83v\x83V\x83\x87\x83\x93";
const std::string kGroup = "\x92\x85\x90M\x89\xB9\x82\xCC\x90\xDD\x92\xE8";
const std::string kSoundEnable =
    "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xAA\x82\xA0\x82\xC1\x82\xBD\x82\xC6\x82\xAB\x92\x85\x90M\x89\xB9\x82\xF0"
    "\x96\xC2\x82\xE7\x82\xB7(&S)";
const std::string kSoundDefault =
    "\x83V\x83X\x83" "e\x83\x80\x82\xCC\x83" "f\x83t\x83H\x83\x8B\x83g\x82\xCC\x92\x85\x90M\x89\xB9";
const std::string kSoundChoose = "\x92\x85\x90M\x89\xB9\x82\xF0\x91I\x91\xF0\x82\xB7\x82\xE9";
const std::string kBrowse = "\x91I\x91\xF0(&R)...";
const std::string kPlayTest = "\x8D\xC4\x90\xB6\x83" "e\x83X\x83g(&P)";
const std::string kWaveFilter = "wav\x83t\x83@\x83" "C\x83\x8B(*.wav)";

// Controls of the open-file dialog: file name (combo box or edit), file type, read-only box.
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;
constexpr int kFileType = 0x470;
constexpr int kReadOnly = 0x410;

std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

INT_PTR RunOptions(const std::function<void(HWND)>& script) {
    OptionsDialog dialog;
    return test::RunDriven([&] { return dialog.Run(GetModuleHandleA(nullptr)); }, script);
}

struct ControlStates {
    bool soundDefault, soundChoose, soundFile, browse, playTest;
    bool operator==(const ControlStates&) const = default;
};

ControlStates EnabledStates(HWND dialog) {
    return {Enabled(dialog, IDC_SOUND_DEFAULT), Enabled(dialog, IDC_SOUND_CHOOSE), Enabled(dialog, IDC_SOUND_FILE),
            Enabled(dialog, IDC_BROWSE), Enabled(dialog, IDC_PLAY_TEST)};
}

class OptionsDialogTest : public test::CleanSettingsKey {};

TEST_F(OptionsDialogTest, ShowsItsTextsInTheDialogFontUnclipped) {
    RunOptions([&](HWND window) {
        EXPECT_EQ(Text(window), kCaption);
        EXPECT_EQ(test::ControlTexts(window), (std::vector<std::string>{kGroup, kSoundEnable, kSoundDefault, kSoundChoose,
                                                                         "", kBrowse, kPlayTest, "OK", test::kCancelText}));
        EXPECT_EQ(test::FontFace(window), test::kDialogFontFace);
        EXPECT_TRUE(test::AllTextsFit(window));
        // The selected radio button takes the tab stop at run time; the other one has none.
        EXPECT_EQ(test::Style(window, IDC_SOUND_CHOOSE) & WS_TABSTOP, 0);
        EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
        Click(window, IDCANCEL);
    });
}

TEST_F(OptionsDialogTest, FirstStartShowsTheSystemSoundSelected) {
    RunOptions([&](HWND window) {
        EXPECT_TRUE(Checked(window, IDC_SOUND_ENABLE));
        EXPECT_TRUE(Checked(window, IDC_SOUND_DEFAULT));
        EXPECT_FALSE(Checked(window, IDC_SOUND_CHOOSE));
        EXPECT_EQ(Text(window, IDC_SOUND_FILE), "");
        EXPECT_EQ(EnabledStates(window), (ControlStates{true, true, false, false, true}));
        Click(window, IDCANCEL);
    });
    EXPECT_EQ(test::ValueCount(HKEY_CURRENT_USER, kSettingsKey), 0u) << "Cancel writes nothing";
}

TEST_F(OptionsDialogTest, SoundOffDisablesTheFiveControlsAndOkStillWritesThem) {
    settingsStore.WriteSoundType(kSoundTypeChosenFile);
    settingsStore.WriteSoundFile("C:\\sounds\\\x95\x5C.wav");
    const INT_PTR result = RunOptions([&](HWND window) {
        EXPECT_TRUE(Checked(window, IDC_SOUND_CHOOSE));
        EXPECT_EQ(Text(window, IDC_SOUND_FILE), "C:\\sounds\\\x95\x5C.wav");
        EXPECT_EQ(EnabledStates(window), (ControlStates{true, true, true, true, true}));
        Click(window, IDC_SOUND_ENABLE);
        EXPECT_EQ(EnabledStates(window), (ControlStates{false, false, false, false, false}));
        Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable"), (RawValue{REG_DWORD, Dword(0)}));
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundType"), (RawValue{REG_DWORD, Dword(1)}));
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundFile"),
              (RawValue{REG_SZ, std::string("C:\\sounds\\\x95\x5C.wav") + '\0'}));
}

TEST_F(OptionsDialogTest, TheRadioButtonsSwitchThePathWithoutClearingIt) {
    test::SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable", 5);
    RunOptions([&](HWND window) {
        Click(window, IDC_SOUND_CHOOSE);
        EXPECT_FALSE(Checked(window, IDC_SOUND_DEFAULT));
        EXPECT_EQ(EnabledStates(window), (ControlStates{true, true, true, true, true}));
        Type(window, IDC_SOUND_FILE, "%WINDIR%\\media\\ding.wav");
        Click(window, IDC_SOUND_DEFAULT);
        EXPECT_FALSE(Checked(window, IDC_SOUND_CHOOSE));
        EXPECT_EQ(EnabledStates(window), (ControlStates{true, true, false, false, true}));
        EXPECT_EQ(Text(window, IDC_SOUND_FILE), "%WINDIR%\\media\\ding.wav");
        Click(window, IDOK);
    });
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable"), (RawValue{REG_DWORD, Dword(1)})) << "5 is saved as 1";
    EXPECT_EQ(GetRaw(HKEY_CURRENT_USER, kSettingsKey, "SoundType"), (RawValue{REG_DWORD, Dword(0)}));
    EXPECT_EQ(settingsStore.ReadSoundFile(), "%WINDIR%\\media\\ding.wav") << "as typed, unexpanded";
}

TEST_F(OptionsDialogTest, CancelLeavesTheRegistryUntouched) {
    test::SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable", 5);
    test::SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "SoundType", 7);
    settingsStore.WriteSoundFile("before.wav");
    settingsStore.WriteUserId("someone");
    const std::string before = test::Snapshot(HKEY_CURRENT_USER, kSettingsKey);
    const INT_PTR result = RunOptions([&](HWND window) {
        EXPECT_TRUE(Checked(window, IDC_SOUND_CHOOSE)) << "7 is a chosen file";
        Type(window, IDC_SOUND_FILE, "-changed");
        Click(window, IDC_SOUND_DEFAULT);
        Click(window, IDC_SOUND_ENABLE);
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(test::Snapshot(HKEY_CURRENT_USER, kSettingsKey), before);
}

TEST_F(OptionsDialogTest, ALongStoredPathIsShownWholeButRefusesTyping) {
    const std::string longPath = "C:\\" + std::string(300, 'a') + ".wav";
    settingsStore.WriteSoundFile(longPath);
    RunOptions([&](HWND window) {
        EXPECT_EQ(Text(window, IDC_SOUND_FILE), longPath);
        Click(window, IDC_SOUND_CHOOSE);
        Type(window, IDC_SOUND_FILE, "x");
        EXPECT_EQ(Text(window, IDC_SOUND_FILE), longPath);
        Click(window, IDCANCEL);
    });
}

// Drives the open-file dialog that Browse opens: checks its filter, then enters fileName and
// confirms, or cancels when fileName is empty.
void AnswerOpenFileDialog(HWND options, const std::string& fileName) {
    test::ClickLater(options, IDC_BROWSE);
    const HWND chooser = test::WaitForDialog(GetWindowThreadProcessId(options, nullptr), options);
    ASSERT_NE(chooser, nullptr) << "no open-file dialog owned by the options dialog";
    const HWND fileType = GetDlgItem(chooser, kFileType);
    EXPECT_EQ(SendMessageA(fileType, CB_GETCOUNT, 0, 0), 1) << "one filter";
    char filter[64] = {};
    SendMessageA(fileType, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(filter));
    EXPECT_EQ(std::string(filter), kWaveFilter);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(chooser, kReadOnly))) << "no read-only box";
    if (fileName.empty()) {
        PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else {
        const int nameControl = GetDlgItem(chooser, kFileNameCombo) != nullptr ? kFileNameCombo : kFileNameEdit;
        test::SetText(chooser, nameControl, fileName);
        PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    const DWORD start = GetTickCount();
    while (IsWindow(chooser) && GetTickCount() - start < 10000) Sleep(10);
    EXPECT_FALSE(IsWindow(chooser));
}

TEST_F(OptionsDialogTest, BrowsePutsTheChosenFileIntoThePathAndCancelKeepsIt) {
    char temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
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
