#include "notifier/settings/login_dialog.h"

#include <string_view>

#include "notifier/res/resource.h"
#include "notifier/settings/dialog_text.h"

namespace {

constexpr WPARAM kFieldLimit = 32;  // bytes; applies to typing and pasting

// True when text holds something besides blank, tab, line feed, vertical tab, form feed and
// carriage return. None of these bytes occurs inside a double-byte character.
bool HasNonBlankText(std::string_view text) { return text.find_first_not_of(" \t\n\v\f\r") != std::string_view::npos; }

}  // namespace

LoginDialog::~LoginDialog() { WipeString(loginPassword); }

INT_PTR LoginDialog::Run(HINSTANCE module) {
    const INT_PTR result =
        DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_LOGIN), nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return result == IDOK ? IDOK : IDCANCEL;
}

bool LoginDialog::IsOpen() const { return window_ != nullptr && IsWindow(window_); }

void LoginDialog::BringToTop() const {
    if (!IsOpen()) return;
    SetForegroundWindow(window_);
    BringWindowToTop(window_);
}

INT_PTR CALLBACK LoginDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<LoginDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->OnInitDialog(window);
        return TRUE;
    }
    auto* self = reinterpret_cast<LoginDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr || message != WM_COMMAND) return FALSE;

    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == EN_UPDATE && (id == IDC_USERID || id == IDC_PASSWORD)) {
        self->UpdateOkButton();
        return TRUE;
    }
    if (code == BN_CLICKED && id == IDOK) {
        self->OnOk();
        return TRUE;
    }
    if (code == BN_CLICKED && id == IDCANCEL) {
        EndDialog(window, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

void LoginDialog::OnInitDialog(HWND window) {
    window_ = window;
    SendDlgItemMessageA(window, IDC_USERID, EM_LIMITTEXT, kFieldLimit, 0);
    SendDlgItemMessageA(window, IDC_PASSWORD, EM_LIMITTEXT, kFieldLimit, 0);
    SetDlgItemTextA(window, IDC_USERID, loginUserId.c_str());
    SetDlgItemTextA(window, IDC_PASSWORD, loginPassword.c_str());
    CheckDlgButton(window, IDC_SAVE_LOGIN, saveLogin ? BST_CHECKED : BST_UNCHECKED);
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
    WipeString(loginPassword);
    loginPassword = GetControlText(window_, IDC_PASSWORD);
    saveLogin = IsDlgButtonChecked(window_, IDC_SAVE_LOGIN) == BST_CHECKED;
    EndDialog(window_, IDOK);
}
