// Recorders of the main window's effects (tray, browser, sound, login dialog), so that an
// in-process test sees what the notifier would show.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "notifier/settings/LoginDialog.h"
#include "notifier/settings/SettingsStore.h"
#include "notifier/shell/ShellEffects.h"
#include "notifier/ui/TrayIcon.h"
#include "tests/support/shown_texts.h"

namespace test {

struct TrayCall {
    DWORD message;
    NOTIFYICONDATAA data;
};

class RecordingTray : public TrayShell {
public:
    bool NotifyIcon(DWORD message, NOTIFYICONDATAA& data) override {
        calls.push_back({message, data});
        if (message == NIM_ADD && failingAdds > 0) {
            --failingAdds;
            return false;
        }
        if (message == NIM_MODIFY && failingModifies > 0) {
            --failingModifies;
            return false;
        }
        return true;
    }
    int Count(DWORD message) const {
        int n = 0;
        for (const TrayCall& call : calls) n += call.message == message;
        return n;
    }
    int Count(DWORD message, UINT flags) const {
        int n = 0;
        for (const TrayCall& call : calls) n += call.message == message && call.data.uFlags == flags;
        return n;
    }
    const TrayCall* Last(DWORD message, UINT flags) const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
            if (it->message == message && it->data.uFlags == flags) return &*it;
        }
        return nullptr;
    }

    std::vector<TrayCall> calls;
    int failingAdds = 0;
    int failingModifies = 0;
};

class RecordingUrls : public UrlOpener {
public:
    void Open(const char* url) override { opened.push_back(url); }
    std::vector<std::string> opened;
};

class CountingSound : public NotificationSound {
public:
    void Play() override { ++plays; }
    int plays = 0;
};

// Answers the login dialog from a queue; an empty queue cancels.
class ScriptedLogin : public LoginPrompt {
public:
    struct Shown {
        std::string userId;
        std::string password;
        bool saveLogin;
        std::string storedEid;
    };
    using Answer = std::function<INT_PTR(LoginDialog&)>;

    INT_PTR Run(LoginDialog& dialog) override {
        shown.push_back({dialog.loginUserId, dialog.loginPassword, dialog.saveLogin, settingsStore.ReadSessionCookie()});
        if (answers.empty()) return IDCANCEL;
        Answer answer = std::move(answers.front());
        answers.pop_front();
        return answer(dialog);
    }

    static Answer Ok(std::string userId, std::string password, bool save) {
        return [=](LoginDialog& dialog) {
            dialog.loginUserId = userId;
            dialog.loginPassword = password;
            dialog.saveLogin = save;
            return static_cast<INT_PTR>(IDOK);
        };
    }

    std::vector<Shown> shown;
    std::deque<Answer> answers;
};

}  // namespace test
