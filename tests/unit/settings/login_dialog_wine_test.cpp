// The login dialog, run from the program's resources and driven as a user would.
#include "notifier/settings/login_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "notifier/res/resource.h"
#include "tests/unit/settings/dialog_driver.h"

namespace {

using test::Checked;
using test::Click;
using test::Enabled;
using test::Text;
using test::Type;

// "パスワード(&P):" and "ログイン情報を保存する(&R)" in code page 932.
const std::string kPasswordLabel = "\x83p\x83X\x83\x8F\x81[\x83h(&P):";
const std::string kSaveLogin = "\x83\x8D\x83O\x83" "C\x83\x93\x8F\xEE\x95\xF1\x82\xF0\x95\xDB\x91\xB6\x82\xB7\x82\xE9(&R)";

HINSTANCE Module() { return GetModuleHandleA(nullptr); }

TEST(LoginDialog, ShowsItsTextsInTheDialogFontUnclipped) {
    LoginDialog dialog;
    test::RunDriven([&] { return dialog.Run(Module()); },
                    [&](HWND window) {
                        EXPECT_EQ(Text(window), "Mewlark");
                        EXPECT_EQ(test::ControlTexts(window),
                                  (std::vector<std::string>{"tarnID(&U):", "", kPasswordLabel, "", kSaveLogin, "OK", test::kCancelText}));
                        EXPECT_EQ(test::FontFace(window), test::kDialogFontFace);
                        EXPECT_TRUE(test::AllTextsFit(window));
                        EXPECT_TRUE(test::Style(window, IDC_PASSWORD) & ES_PASSWORD);
                        EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr) << "no owner window";
                        EXPECT_EQ(test::FocusedControl(window), GetDlgItem(window, IDC_USERID));
                        Click(window, IDCANCEL);
                    });
}

TEST(LoginDialog, OkIsEnabledExactlyWhenBothFieldsHoldNonBlankText) {
    LoginDialog dialog;
    dialog.loginUserId = "user";
    test::RunDriven([&] { return dialog.Run(Module()); },
                    [&](HWND window) {
                        EXPECT_FALSE(Enabled(window, IDOK)) << "the password starts empty";
                        Type(window, IDC_PASSWORD, "x");
                        EXPECT_TRUE(Enabled(window, IDOK));
                        test::Backspace(window, IDC_PASSWORD);
                        EXPECT_EQ(Text(window, IDC_PASSWORD), "");
                        EXPECT_FALSE(Enabled(window, IDOK));

                        Type(window, IDC_PASSWORD, "   ");
                        EXPECT_FALSE(Enabled(window, IDOK)) << "blanks only";
                        test::SetText(window, IDC_PASSWORD, " \t\n\v\f\r");
                        EXPECT_FALSE(Enabled(window, IDOK)) << "all six white-space characters";
                        test::SetText(window, IDC_PASSWORD, " \t\x82\xA0\r");
                        EXPECT_TRUE(Enabled(window, IDOK)) << "a double-byte character is text";

                        test::SetText(window, IDC_USERID, "\t ");
                        EXPECT_FALSE(Enabled(window, IDOK)) << "the user id counts as well";
                        Click(window, IDCANCEL);
                    });
}

TEST(LoginDialog, OkTakesTheFieldsAsTypedAndTheSaveBox) {
    LoginDialog dialog;
    dialog.loginUserId = "";
    const INT_PTR result = test::RunDriven([&] { return dialog.Run(Module()); },
                                           [&](HWND window) {
                                               EXPECT_FALSE(Checked(window, IDC_SAVE_LOGIN));
                                               Type(window, IDC_USERID, " tarn user ");
                                               Type(window, IDC_PASSWORD, " pa ss ");
                                               Click(window, IDC_SAVE_LOGIN);
                                               EXPECT_TRUE(dialog.IsOpen());
                                               Click(window, IDOK);
                                           });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.loginUserId, " tarn user ") << "blanks around the user id are kept";
    EXPECT_EQ(dialog.loginPassword, " pa ss ");
    EXPECT_TRUE(dialog.saveLogin);
    EXPECT_FALSE(dialog.IsOpen());
}

TEST(LoginDialog, FieldsRefuseTypingBeyond32BytesButShowALongerStoredUserId) {
    LoginDialog dialog;
    const std::string longId(40, 'u');
    dialog.loginUserId = longId;
    test::RunDriven([&] { return dialog.Run(Module()); },
                    [&](HWND window) {
                        EXPECT_EQ(Text(window, IDC_USERID), longId) << "shown whole";
                        Type(window, IDC_USERID, "v");
                        EXPECT_EQ(Text(window, IDC_USERID), longId) << "no further typing";

                        Type(window, IDC_PASSWORD, std::string(33, 'p'));
                        EXPECT_EQ(Text(window, IDC_PASSWORD), std::string(32, 'p')) << "the 33rd byte is refused";
                        Click(window, IDOK);
                    });
    EXPECT_EQ(dialog.loginUserId, longId);
    EXPECT_EQ(dialog.loginPassword, std::string(32, 'p'));
}

// Cancel, the Esc key and the caption's close button all leave the fields as they were.
class LoginDialogCancel : public ::testing::TestWithParam<int> {};

TEST_P(LoginDialogCancel, LeavesTheFieldsAsTheyWere) {
    LoginDialog dialog;
    dialog.loginUserId = "before";
    dialog.loginPassword = "secret";
    dialog.saveLogin = true;
    const INT_PTR result = test::RunDriven(
        [&] { return dialog.Run(Module()); },
        [&](HWND window) {
            EXPECT_TRUE(Checked(window, IDC_SAVE_LOGIN)) << "the box starts as saveLogin says";
            EXPECT_EQ(Text(window, IDC_PASSWORD), "secret");
            EXPECT_TRUE(Enabled(window, IDOK));
            Type(window, IDC_USERID, "-changed");
            Type(window, IDC_PASSWORD, "-changed");
            Click(window, IDC_SAVE_LOGIN);
            switch (GetParam()) {
                case 0:
                    Click(window, IDCANCEL);
                    break;
                case 1: {
                    const HWND edit = GetDlgItem(window, IDC_USERID);
                    PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                    break;
                }
                default:
                    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                    break;
            }
        });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.loginUserId, "before");
    EXPECT_EQ(dialog.loginPassword, "secret");
    EXPECT_TRUE(dialog.saveLogin);
}

INSTANTIATE_TEST_SUITE_P(ByButtonKeyAndCaption, LoginDialogCancel, ::testing::Values(0, 1, 2));

}  // namespace
