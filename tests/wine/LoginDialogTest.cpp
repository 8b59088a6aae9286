// The login dialog from the program's resources, driven as a user would.
#include "notifier/settings/LoginDialog.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>

#include "notifier/res/Resource.h"
#include "tests/support/Windows.h"

namespace {

using namespace test;

// How often the bytes occur in the process's committed private memory, as a dump of it would
// show them, besides in the needle itself.
int CopiesInMemory(const std::string& needle) {
    int copies = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof(region)) != 0; at += region.RegionSize) {
        at = static_cast<const char*>(region.BaseAddress);
        constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE;
        if (region.State != MEM_COMMIT || region.Type != MEM_PRIVATE || !(region.Protect & kReadable) ||
            (region.Protect & PAGE_GUARD)) {
            continue;
        }
        const std::string_view pages(at, region.RegionSize);
        for (std::size_t i = pages.find(needle); i != std::string_view::npos; i = pages.find(needle, i + 1)) {
            copies += pages.data() + i != needle.data();
        }
    }
    return copies;
}

TEST(LoginDialog, OkIsEnabledExactlyForNonBlankFieldsAndTakesThemAsTypedUpTo32BytesEachThePasswordWipedOnceHandedOn) {
    const std::string userId = " tarn " + std::string(25, 'u') + " ";
    std::string password = " pa ss 7f3a9c1b-4d8e0a26-Q5wX9zK";
    // The password's end, as the code page and UTF-16 hold it; a clear(), or a heap that reuses
    // a freed block's start, leaves it.
    const std::string tail = password.substr(16);
    std::string wideTail;
    for (const char c : tail) wideTail += {c, '\0'};
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
    const INT_PTR ok = IDOK;
    const bool saved = true;
    EXPECT_EQ(std::tie(result, dialog.loginUserId, dialog.loginPassword, dialog.saveLogin),
              std::tie(ok, userId, password, saved)) << "blanks kept";

    // Handed on, the password is wiped wherever the dialog had it, its edit control too: no copy
    // but the taker's is left.
    std::string taken;
    dialog.HandOverPassword([&](const std::string& handed) { taken = handed; });
    EXPECT_EQ(taken, password);
    for (std::string* copy : {&taken, &password}) SecureZeroMemory(copy->data(), copy->size());
    EXPECT_EQ(std::make_pair(CopiesInMemory(tail), CopiesInMemory(wideTail)), std::make_pair(0, 0)) << "in code page, in UTF-16";
}

}  // namespace
