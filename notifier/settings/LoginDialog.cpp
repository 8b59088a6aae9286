#include "notifier/settings/LoginDialog.h"

#include <string_view>

#include "notifier/res/Resource.h"
#include "notifier/settings/DialogText.h"

namespace {

constexpr WPARAM kFieldLimit = 32;  // bytes; applies to typing and pasting

// True when text holds something besides blank, tab, line feed, vertical tab, form feed and
// carriage return. None of these bytes occurs inside a double-byte character.
bool HasNonBlankText(std::string_view text) { return text.find_first_not_of(" \t\n\v\f\r") != std::string_view::npos; }

}  // namespace

LoginDialog::~LoginDialog() { WipeString(loginPassword); }

void LoginDialog::HandOverPassword(const std::function<void(const std::string& password)>& take) {
    struct Wipe {
        std::string& text;
        ~Wipe() { WipeString(text); }
    } wipe{loginPassword};
    take(loginPassword);
}

INT_PTR LoginDialog::Run(HINSTANCE module) {
    const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_LOGIN), nullptr, RouteDialogToOwner<LoginDialog>,
                                           reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return result == IDOK ? IDOK : IDCANCEL;
}

bool LoginDialog::IsOpen() const { return window_ != nullptr && IsWindow(window_); }

void LoginDialog::BringToTop() const {
    if (!IsOpen()) return;
    SetForegroundWindow(window_);
    BringWindowToTop(window_);
}

INT_PTR LoginDialog::HandleDialogMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        OnInitDialog();
        return TRUE;
    }
    if (message == WM_DESTROY) {
        // The edit control frees its text unwiped: typed, read or cancelled, it goes blank first.
        OverwriteControlText(window_, IDC_PASSWORD);
        return FALSE;
    }
    if (message != WM_COMMAND) return FALSE;
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == EN_UPDATE && (id == IDC_USERID || id == IDC_PASSWORD)) {
        UpdateOkButton();
        return TRUE;
    }
    if (code == BN_CLICKED && id == IDOK) {
        OnOk();
        return TRUE;
    }
    if (code == BN_CLICKED && id == IDCANCEL) {
        EndDialog(window_, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

void LoginDialog::OnInitDialog() {
    SendDlgItemMessageA(window_, IDC_USERID, EM_LIMITTEXT, kFieldLimit, 0);
    SendDlgItemMessageA(window_, IDC_PASSWORD, EM_LIMITTEXT, kFieldLimit, 0);
    SetDlgItemTextA(window_, IDC_USERID, loginUserId.c_str());
    SetDlgItemTextA(window_, IDC_PASSWORD, loginPassword.c_str());
    CheckDlgButton(window_, IDC_SAVE_LOGIN, saveLogin ? BST_CHECKED : BST_UNCHECKED);
    // The edits' own update notifications may or may not follow the filling above.
    UpdateOkButton();
}

void LoginDialog::UpdateOkButton() const {
    const std::string userId = GetControlText(window_, IDC_USERID);
    std::string password = GetControlText(window_, IDC_PASSWORD);
    const bool complete = HasNonBlankText(userId) && HasNonBlankText(password);
    WipeString(password);
    EnableWindow(GetDlgItem(window_, IDOK), complete);
}

void LoginDialog::OnOk() {
    loginUserId = GetControlText(window_, IDC_USERID);
    std::string entered = GetControlText(window_, IDC_PASSWORD);
    WipeString(loginPassword);
    // Copied, then wiped: a short string moved in would leave its bytes in the temporary.
    loginPassword.assign(entered);
    WipeString(entered);
    saveLogin = IsDlgButtonChecked(window_, IDC_SAVE_LOGIN) == BST_CHECKED;
    EndDialog(window_, IDOK);
}
