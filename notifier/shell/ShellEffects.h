// The main window's effects on the world outside its own windows, one small interface
// each, so that tests can record them: opening a web page, the notification sound, the
// modal login dialog, and the shell's answer whether the user may be interrupted. (The
// tray's shell call is TrayShell, beside the tray icon.)
#pragma once

#include <windows.h>

class LoginDialog;

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    virtual void Open(const char* url) = 0;
};

class NotificationSound {
public:
    virtual ~NotificationSound() = default;
    virtual void Play() = 0;
};

class LoginPrompt {
public:
    virtual ~LoginPrompt() = default;
    // Runs the dialog modally without an owner; IDOK or IDCANCEL.
    virtual INT_PTR Run(LoginDialog& dialog) = 0;
};

class NotificationState {
public:
    virtual ~NotificationState() = default;
    // False while the shell asks for quiet: a full-screen program or presentation, quiet
    // time, a locked or absent session.
    virtual bool AcceptsNotifications() = 0;
};

// The real effects: the shell's default browser, the configured sound, the dialog.
class ShellUrlOpener : public UrlOpener {
public:
    void Open(const char* url) override;
};

class ConfiguredSound : public NotificationSound {
public:
    void Play() override;
};

// The shell's own answer (SHQueryUserNotificationState, from Windows Vista on; earlier
// systems always accept).
class ShellNotificationState : public NotificationState {
public:
    bool AcceptsNotifications() override;
};
// The one the notifier uses.
NotificationState& SystemNotificationState();

class ModalLoginPrompt : public LoginPrompt {
public:
    explicit ModalLoginPrompt(HINSTANCE instance) : instance_(instance) {}
    INT_PTR Run(LoginDialog& dialog) override;

private:
    HINSTANCE instance_;
};
