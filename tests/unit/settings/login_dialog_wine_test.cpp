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

INT_PTR RunLogin(LoginDialog& dialog, const std::function<void(HWND)>& script) {
    return test::RunDriven([&] { return dialog.Run(GetModuleHandleA(nullptr)); }, script);
}

TEST(LoginDialog, LooksAsDesignedAndEnablesOkExactlyForNonBlankFields) {
    // "パスワード(&P):" and "ログイン情報を保存する(&R)" in code page 932.
    const std::string passwordLabel = "\x83p\x83X\x83\x8F\x81[\x83h(&P):";
    const std::string saveLogin = "\x83\x8D\x83O\x83" "C\x83\x93\x8F\xEE\x95\xF1\x82\xF0\x95\xDB\x91\xB6\x82\xB7\x82\xE9(&R)";
    LoginDialog dialog;
    dialog.loginUserId = "user";
    RunLogin(dialog, [&](HWND window) {
        const test::DialogLook look = test::LookAt(window);
        EXPECT_EQ(look.caption, "Mewlark");
        EXPECT_EQ(look.texts, (std::vector<std::string>{"tarnID(&U):", "user", passwordLabel, "", saveLogin, "OK",
                                                        test::kCancelText}));
        EXPECT_EQ(look.fontFace, test::kDialogFontFace);
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
        test::SetText(window, IDC_PASSWORD, " \t\n\v\f\r");
        EXPECT_FALSE(Enabled(window, IDOK)) << "all six white-space characters";
        test::SetText(window, IDC_PASSWORD, " \t\x82\xA0\r");
        EXPECT_TRUE(Enabled(window, IDOK)) << "a double-byte character is text";
        test::SetText(window, IDC_USERID, "\t ");
        EXPECT_FALSE(Enabled(window, IDOK)) << "the user id counts as well";
        Click(window, IDCANCEL);
    });
}

TEST(LoginDialog, OkTakesTheFieldsAsTypedWithin32BytesAndTheSaveBox) {
    LoginDialog dialog;
    const INT_PTR result = RunLogin(dialog, [&](HWND window) {
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
    RunLogin(dialog, [&](HWND window) {
        EXPECT_EQ(Text(window, IDC_USERID), longId);
        Type(window, IDC_USERID, "v");
        EXPECT_EQ(Text(window, IDC_USERID), longId);
        Click(window, IDOK);
    });
    EXPECT_EQ(dialog.loginUserId, longId);
}

TEST(LoginDialog, CancelLeavesTheFieldsAsTheyWere) {
    LoginDialog dialog;
    dialog.loginUserId = "before";
    dialog.loginPassword = "secret";
    dialog.saveLogin = true;
    const INT_PTR result = RunLogin(dialog, [&](HWND window) {
        EXPECT_TRUE(Checked(window, IDC_SAVE_LOGIN)) << "the box starts as saveLogin says";
        EXPECT_EQ(Text(window, IDC_PASSWORD), "secret");
        EXPECT_TRUE(Enabled(window, IDOK));
        Type(window, IDC_USERID, "-changed");
        Type(window, IDC_PASSWORD, "-changed");
        Click(window, IDC_SAVE_LOGIN);
        Click(window, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(dialog.loginUserId, "before");
    EXPECT_EQ(dialog.loginPassword, "secret");
    EXPECT_TRUE(dialog.saveLogin);
}

}  // namespace
