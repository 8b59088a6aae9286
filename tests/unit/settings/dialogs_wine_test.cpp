// The login, options and about dialogs, run from the program's resources and driven as a user
// would, with the sound settings in the real registry.
#include <gtest/gtest.h>

#include <string>

#include "mewlark_config.h"
#include "notifier/res/Resource.h"
#include "notifier/settings/AboutDialog.h"
#include "notifier/settings/LoginDialog.h"
#include "notifier/settings/OptionsDialog.h"
#include "notifier/settings/SettingsStore.h"
#include "tests/unit/settings/dialog_driver.h"
#include "tests/unit/settings/registry_fixture.h"

namespace {

using namespace test;

TEST(LoginDialog, LooksAsDesignedAndEnablesOkExactlyForNonBlankFields) {
    // "パスワード(&P):" and "ログイン情報を保存する(&R)" in code page 932.
    const std::string passwordLabel = "\x83p\x83X\x83\x8F\x81[\x83h(&P):";
    const std::string saveLogin =
        "\x83\x8D\x83O\x83" "C\x83\x93\x8F\xEE\x95\xF1\x82\xF0\x95\xDB\x91\xB6\x82\xB7\x82\xE9(&R)";
    LoginDialog dialog;
    dialog.loginUserId = "user";
    Drive(dialog, [&](HWND window) {
        const DialogLook look = LookAt(window);
        EXPECT_EQ(look.caption, "Mewlark");
        EXPECT_EQ(look.texts, (std::vector<std::string>{"tarnID(&U):", "user", passwordLabel, "", saveLogin, "OK",
                                                        kCancelText}));
        EXPECT_EQ(look.fontFace, kDialogFontFace);
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(window, IDC_PASSWORD), GWL_STYLE) & ES_PASSWORD);
        GUITHREADINFO focus{};
        focus.cbSize = sizeof focus;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &focus);
        EXPECT_EQ(focus.hwndFocus, GetDlgItem(window, IDC_USERID));

        EXPECT_FALSE(Enabled(window, IDOK)) << "the password starts empty";
        Type(window, IDC_PASSWORD, "x");
        EXPECT_TRUE(Enabled(window, IDOK));
        Type(window, IDC_PASSWORD, "\b");
        EXPECT_EQ(Text(window, IDC_PASSWORD), "");
        EXPECT_FALSE(Enabled(window, IDOK));
        Type(window, IDC_PASSWORD, "   ");
        EXPECT_FALSE(Enabled(window, IDOK)) << "blanks only";
        SetText(window, IDC_PASSWORD, " \t\n\v\f\r");
        EXPECT_FALSE(Enabled(window, IDOK)) << "all six white-space characters";
        SetText(window, IDC_PASSWORD, " \t\x82\xA0\r");
        EXPECT_TRUE(Enabled(window, IDOK)) << "a double-byte character is text";
        SetText(window, IDC_USERID, "\t ");
        EXPECT_FALSE(Enabled(window, IDOK)) << "the user id counts as well";
        Click(window, IDCANCEL);
    });
}

TEST(LoginDialog, OkTakesTheFieldsAsTypedWithin32BytesAndTheSaveBoxCancelNothing) {
    LoginDialog dialog;
    const INT_PTR result = Drive(dialog, [&](HWND window) {
        EXPECT_FALSE(Checked(window, IDC_SAVE_LOGIN));
        Type(window, IDC_USERID, " tarn user ");
        Type(window, IDC_PASSWORD, " pa ss " + std::string(26, 'p'));
        EXPECT_EQ(Text(window, IDC_PASSWORD).size(), 32u) << "the 33rd byte is refused";
        Click(window, IDC_SAVE_LOGIN);
        EXPECT_TRUE(dialog.IsOpen());
        Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.loginUserId, " tarn user ") << "blanks around the user id are kept";
    EXPECT_EQ(dialog.loginPassword, " pa ss " + std::string(25, 'p'));
    EXPECT_TRUE(dialog.saveLogin);
    EXPECT_FALSE(dialog.IsOpen());

    // A stored user id longer than the limit is shown and returned whole, but takes no more typing.
    const std::string longId(40, 'u');
    dialog.loginUserId = longId;
    Drive(dialog, [&](HWND window) {
        EXPECT_EQ(Text(window, IDC_USERID), longId);
        Type(window, IDC_USERID, "v");
        EXPECT_EQ(Text(window, IDC_USERID), longId);
        Click(window, IDOK);
    });
    EXPECT_EQ(dialog.loginUserId, longId);

    // Cancel after edits leaves the fields as they were.
    dialog.loginUserId = "before";
    dialog.loginPassword = "secret";
    const INT_PTR cancelled = Drive(dialog, [&](HWND window) {
        EXPECT_TRUE(Checked(window, IDC_SAVE_LOGIN)) << "the box starts as saveLogin says";
        EXPECT_EQ(Text(window, IDC_PASSWORD), "secret");
        Type(window, IDC_USERID, "-changed");
        Type(window, IDC_PASSWORD, "-changed");
        Click(window, IDC_SAVE_LOGIN);
        Click(window, IDCANCEL);
    });
    EXPECT_EQ(cancelled, IDCANCEL);
    EXPECT_EQ(dialog.loginUserId, "before");
    EXPECT_EQ(dialog.loginPassword, "secret");
    EXPECT_TRUE(dialog.saveLogin);
}

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

std::optional<RawValue> Stored(const char* name) { return GetRaw(HKEY_CURRENT_USER, kSettingsKey, name); }

class OptionsDialogTest : public CleanSettingsKey {};

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
        kCancelText};
    const INT_PTR result = RunOptions([&](HWND window) {
        const DialogLook look = LookAt(window);
        EXPECT_EQ(look.caption, "Mewlark \x83I\x83v\x83V\x83\x87\x83\x93");
        EXPECT_EQ(look.texts, texts);
        EXPECT_EQ(look.fontFace, kDialogFontFace);
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
    EXPECT_EQ(Stored("SoundEnable"), (RawValue{REG_DWORD, Dword(0)}));
    EXPECT_EQ(Stored("SoundType"), (RawValue{REG_DWORD, Dword(1)}));
    EXPECT_EQ(Stored("SoundFile"), Sz("%WINDIR%\\media\\\x95\x5C.wav")) << "as typed, unexpanded";
}

TEST_F(OptionsDialogTest, CancelLeavesTheRegistryUntouched) {
    SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "SoundEnable", 5);
    SetRawDword(HKEY_CURRENT_USER, kSettingsKey, "SoundType", 7);
    const std::string longPath = "C:\\" + std::string(300, 'a') + ".wav";
    settingsStore.WriteSoundFile(longPath);
    settingsStore.WriteUserId("someone");
    const std::string before = Snapshot(HKEY_CURRENT_USER, kSettingsKey);
    for (const bool byCaption : {false, true}) {
        const INT_PTR result = RunOptions([&](HWND window) {
            EXPECT_TRUE(Checked(window, IDC_SOUND_ENABLE)) << "5 is on";
            EXPECT_TRUE(Checked(window, IDC_SOUND_CHOOSE)) << "7 is a chosen file";
            EXPECT_EQ(Text(window, IDC_SOUND_FILE), longPath) << "a long stored path is shown whole";
            Type(window, IDC_SOUND_FILE, "x");
            EXPECT_EQ(Text(window, IDC_SOUND_FILE), longPath) << "but takes no more typing";
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

// Drives the open-file dialog that Browse opens: checks its one filter, then enters fileName
// and confirms, or cancels when fileName is empty.
void AnswerOpenFileDialog(HWND options, const std::string& fileName) {
    constexpr int kFileType = 0x470, kReadOnly = 0x410, kFileNameCombo = 0x47C, kFileNameEdit = 0x480;
    ClickLater(options, IDC_BROWSE);
    const HWND chooser = WaitForDialog(GetWindowThreadProcessId(options, nullptr), options);
    ASSERT_NE(chooser, nullptr) << "no open-file dialog owned by the options dialog";
    const HWND fileType = GetDlgItem(chooser, kFileType);
    EXPECT_EQ(SendMessageA(fileType, CB_GETCOUNT, 0, 0), 1);
    char filter[64] = {};
    SendMessageA(fileType, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(filter));
    EXPECT_STREQ(filter, "wav\x83t\x83@\x83" "C\x83\x8B(*.wav)");  // "wavファイル(*.wav)"
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(chooser, kReadOnly))) << "no read-only box";
    if (!fileName.empty()) {
        SetText(chooser, GetDlgItem(chooser, kFileNameCombo) != nullptr ? kFileNameCombo : kFileNameEdit, fileName);
    }
    PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(fileName.empty() ? IDCANCEL : IDOK, BN_CLICKED), 0);
    const DWORD start = GetTickCount();
    while (IsWindow(chooser) && GetTickCount() - start < 10000) Sleep(10);
    EXPECT_FALSE(IsWindow(chooser));
}

TEST_F(OptionsDialogTest, BrowsePutsTheChosenFileIntoThePathAndCancelKeepsIt) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);  // a long ASCII path, as the open-file dialog gives it
    const std::string wave = std::string(self).substr(0, std::string(self).rfind('\\') + 1) + "\x95\x5C-chime.wav";
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

// The version this test program carries in its version resource, the notifier's own.
const std::string kOwnVersionLine = "version " + std::to_string(MEWLARK_VERSION_MAJOR) + "." +
                                    std::to_string(MEWLARK_VERSION_MINOR) + "." + std::to_string(MEWLARK_VERSION_PATCH) +
                                    " Build " + std::to_string(MEWLARK_VERSION_BUILD);

TEST(AboutDialog, ShowsIconNameVersionAndNotice) {
    AboutDialog dialog;
    const INT_PTR result = Drive(dialog, [&](HWND window) {
        DialogLook look = LookAt(window);
        ASSERT_EQ(look.texts.size(), 5u);
        look.texts[1].clear();  // the icon's resource reference
        EXPECT_EQ(look.caption, "\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1");  // "バージョン情報"
        EXPECT_EQ(look.texts, (std::vector<std::string>{"OK", "", "Mewlark", kOwnVersionLine, MEWLARK_LEGAL_NOTICE}));
        EXPECT_EQ(look.fontFace, kDialogFontFace);
        const HWND icon = GetWindow(GetDlgItem(window, IDOK), GW_HWNDNEXT);
        EXPECT_NE(SendMessageA(icon, STM_GETICON, 0, 0), 0) << "the application icon is shown";
        Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
}

TEST(VersionLine, EachPartOfTheFileVersionInDecimalOrTheBuiltInVersion) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string folder = std::string(path).substr(0, std::string(path).rfind('\\') + 1);
    EXPECT_EQ(VersionLineOfFile((folder + "version_sample.dll").c_str()), "version 2.10.3 Build 400")
        << "the file version, not the product version";

    // A file without a version resource, and no file at all.
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string plain = std::string(temp) + "no-version.txt";
    const HANDLE file = CreateFileA(plain.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    EXPECT_EQ(VersionLineOfFile(plain.c_str()), kOwnVersionLine);
    EXPECT_EQ(VersionLineOfFile((plain + ".missing").c_str()), kOwnVersionLine);
    DeleteFileA(plain.c_str());
}

}  // namespace
