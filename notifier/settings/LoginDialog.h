// The login dialog: tarnID, password and whether to keep the session across starts.
#pragma once

#include <windows.h>

#include "notifier/ui/WindowRouting.h"

#include <functional>
#include <string>

class LoginDialog {
public:
    LoginDialog() = default;
    LoginDialog(const LoginDialog&) = delete;
    LoginDialog& operator=(const LoginDialog&) = delete;
    ~LoginDialog();

    // Shown when the dialog opens; replaced by the entered values only after OK.
    std::string loginUserId;
    std::string loginPassword;  // kept in memory only
    bool saveLogin = false;

    // Hands the password to take (the check client, which keeps its own copy), then wipes
    // every byte of it here, whatever take does.
    void HandOverPassword(const std::function<void(const std::string& password)>& take);

    // Runs the dialog modally without an owner window. IDOK or IDCANCEL; IDCANCEL also when
    // the dialog cannot be created.
    INT_PTR Run(HINSTANCE module);
    // True while the dialog's window exists.
    bool IsOpen() const;
    // Brings the open dialog to the top of the z-order and activates it.
    void BringToTop() const;

private:
    template <typename Owner>
    friend INT_PTR CALLBACK RouteDialogToOwner(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void UpdateOkButton() const;
    void OnOk();

    HWND window_ = nullptr;
};
