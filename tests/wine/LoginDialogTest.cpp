// The login dialog from the program's resources, driven as a user would.
#include "notifier/settings/LoginDialog.h"

#include <gtest/gtest.h>

#include <string>

#include "notifier/res/Resource.h"
#include "tests/support/Windows.h"

namespace {

using namespace test;

TEST(LoginDialog, OkIsEnabledExactlyForNonBlankFieldsTheFocusStartsOnTheUserId) {
    LoginDialog dialog;
    dialog.loginUserId = "user";
    Drive(dialog, [&](HWND window) {
        EXPECT_EQ(TextOf(window), "Mewlark");
        EXPECT_TRUE(GetWindowLongA(GetDlgItem(window, IDC_PASSWORD), GWL_STYLE) & ES_PASSWORD);
        GUITHREADINFO focus{};
        focus.cbSize = sizeof focus;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &focus);
        EXPECT_EQ(focus.hwndFocus, GetDlgItem(window, IDC_USERID));
        EXPECT_FALSE(Enabled(window, IDOK)) << "the password starts empty";
        Type(window, IDC_PASSWORD, "x");
        EXPECT_TRUE(Enabled(window, IDOK));
        Type(window, IDC_PASSWORD, "\b");
        EXPECT_FALSE(Enabled(window, IDOK));
        SetText(window, IDC_PASSWORD, " \t\n\v\f\r");
        EXPECT_FALSE(Enabled(window, IDOK)) << "all six white-space characters";
        SetText(window, IDC_PASSWORD, " \t\x82\xA0\r");
        EXPECT_TRUE(Enabled(window, IDOK)) << "a double-byte character is text";
        SetText(window, IDC_USERID, "\t ");
        EXPECT_FALSE(Enabled(window, IDOK)) << "the user id counts as well";
        Click(window, IDCANCEL);
    });
}

TEST(LoginDialog, OkTakesTheFieldsAsTypedWithin32BytesAndCancelNothing) {
    LoginDialog dialog;
    const INT_PTR result = Drive(dialog, [&](HWND window) {
        EXPECT_FALSE(Checked(window, IDC_SAVE_LOGIN));
        Type(window, IDC_USERID, " tarn user ");
        Type(window, IDC_PASSWORD, " pa ss " + std::string(26, 'p'));
        EXPECT_EQ(TextOf(window, IDC_PASSWORD).size(), 32u) << "the 33rd byte is refused";
        Click(window, IDC_SAVE_LOGIN);
        EXPECT_TRUE(dialog.IsOpen());
        Click(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.loginUserId, " tarn user ") << "blanks around the user id are kept";
    EXPECT_EQ(dialog.loginPassword, " pa ss " + std::string(25, 'p'));
    EXPECT_TRUE(dialog.saveLogin);
    EXPECT_FALSE(dialog.IsOpen());

    dialog.loginUserId = "before";
    dialog.loginPassword = "secret";
    const INT_PTR cancelled = Drive(dialog, [&](HWND window) {
        EXPECT_TRUE(Checked(window, IDC_SAVE_LOGIN)) << "the box starts as saveLogin says";
        EXPECT_EQ(TextOf(window, IDC_PASSWORD), "secret");
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

}  // namespace
