// The login dialog from the program's resources, driven as a user would.
#include "notifier/settings/LoginDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "notifier/res/Resource.h"
#include "tests/support/Windows.h"

namespace {

using namespace test;

TEST(LoginDialog, OkIsEnabledExactlyForNonBlankFields) {
    LoginDialog dialog;
    dialog.loginUserId = "user";
    Drive(dialog, [&](HWND window) {
        EXPECT_FALSE(Enabled(window, IDOK)) << "the password starts empty";
        Type(window, IDC_PASSWORD, "x");
        EXPECT_TRUE(Enabled(window, IDOK));
        SetText(window, IDC_PASSWORD, " \t\n\v\f\r");
        EXPECT_FALSE(Enabled(window, IDOK)) << "all six white-space characters";
        SetText(window, IDC_USERID, "\t ");
        EXPECT_FALSE(Enabled(window, IDOK)) << "the user id counts as well";
        Click(window, IDCANCEL);
    });
}

TEST(LoginDialog, OkTakesTheFieldsAsTyped) {
    LoginDialog dialog;
    const INT_PTR result = Drive(dialog, [&](HWND window) {
        EXPECT_FALSE(Checked(window, IDC_SAVE_LOGIN));
        Type(window, IDC_USERID, " tarn user ");
        Type(window, IDC_PASSWORD, " pa ss ");
        Click(window, IDC_SAVE_LOGIN);
        Click(window, IDOK);
    });
    EXPECT_EQ(std::make_tuple(result, dialog.loginUserId, dialog.loginPassword, dialog.saveLogin),
              std::make_tuple(INT_PTR{IDOK}, std::string(" tarn user "), std::string(" pa ss "), true)) << "blanks kept";

}

}  // namespace
