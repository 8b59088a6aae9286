#include "notifier/shell/ShellEffects.h"

#include <shellapi.h>

#include "notifier/settings/LoginDialog.h"
#include "notifier/settings/NotificationSound.h"

void ShellUrlOpener::Open(const char* url) { ShellExecuteA(nullptr, nullptr, url, nullptr, nullptr, SW_SHOW); }

void ConfiguredSound::Play() { PlayNotificationSound(); }

INT_PTR ModalLoginPrompt::Run(LoginDialog& dialog) { return dialog.Run(instance_); }

bool ShellNotificationState::AcceptsNotifications() {
    constexpr int kAcceptsNotifications = 5;  // QUNS_ACCEPTS_NOTIFICATIONS
    using QueryState = HRESULT(WINAPI*)(int*);
    static const auto query = reinterpret_cast<QueryState>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("shell32.dll"), "SHQueryUserNotificationState")));
    int state = kAcceptsNotifications;
    if (query == nullptr || FAILED(query(&state))) return true;
    return state == kAcceptsNotifications;
}

NotificationState& SystemNotificationState() {
    static ShellNotificationState state;
    return state;
}
