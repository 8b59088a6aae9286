// The login dialog from the program's resources, driven as a user would.
#include "notifier/settings/LoginDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "notifier/res/Resource.h"
#include "tests/support/Processes.h"
#include "tests/support/Windows.h"

namespace {

using namespace test;

TEST(LoginDialog, OkIsEnabledExactlyForNonBlankFieldsAndTakesThemAsTypedUpTo32BytesEachThePasswordWipedOnceHandedOn) {
    std::string userId = " tarn " + std::string(25, 'u') + " ", password = " pa ss 7f3a9c1b-4d8e0a26-Q5wX9zK";
    LoginDialog dialog;
    dialog.loginUserId = "user";
    const INT_PTR result = Drive(dialog, [&](HWND window) {
        EXPECT_NE(SendDlgItemMessageA(window, IDC_PASSWORD, EM_GETPASSWORDCHAR, 0, 0), 0) << "the password is masked";
        EXPECT_FALSE(Enabled(window, IDOK) || Checked(window, IDC_SAVE_LOGIN)) << "the password starts empty";
        Type(window, IDC_PASSWORD, "x");
        EXPECT_TRUE(Enabled(window, IDOK));
        SetText(window, IDC_USERID, "\t ");
        EXPECT_FALSE(Enabled(window, IDOK)) << "the user id counts as well";
        SetText(window, IDC_USERID, "");
        Type(window, IDC_USERID, userId + "x");  // 33 bytes: the last is refused
        SetText(window, IDC_PASSWORD, " \t\n\v\f\r");
        EXPECT_FALSE(Enabled(window, IDOK)) << "all six white-space characters";
        SetText(window, IDC_PASSWORD, "");
        Type(window, IDC_PASSWORD, password);
        Type(window, IDC_PASSWORD, "x");
        Click(window, IDC_SAVE_LOGIN);
        Click(window, IDOK);
    });
    EXPECT_EQ(std::make_tuple(result, dialog.loginUserId, dialog.saveLogin), std::make_tuple(INT_PTR{IDOK}, userId, true))
        << "blanks kept";

    // The password, as typed, is handed on and then wiped wherever the dialog had it, its edit
    // control too: its end (which a clear() leaves, and a freed block too) is found nowhere.
    bool taken = false;
    dialog.HandOverPassword([&](const std::string& handed) { taken = handed == password; });
    SecureZeroMemory(password.data(), password.size());
    EXPECT_EQ(std::make_pair(taken, CopiesInMemory("c1b-4d8e0a26-Q5wX9zK")), std::make_pair(true, 0));
}

}  // namespace
