// Recorders of the main window's effects (tray, browser, sound, login dialog), so that an
// in-process test sees what the notifier would show, and the texts it shows.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "notifier/settings/login_dialog.h"
#include "notifier/settings/settings_store.h"
#include "notifier/shell/shell_effects.h"
#include "notifier/ui/tray_icon.h"

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

// What the tray and the popup show, in code page 932.
namespace shown_texts {

inline const std::string kTarnMail = "tarn\x83\x81\x81[\x83\x8B ";
inline const std::string kNewMail = "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xAA ";
inline const std::string kItems = " \x8C\x8F\x82\xA0\x82\xE8\x82\xDC\x82\xB7";
inline const std::string kNoNewMail = "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
inline const std::string kFailureTip = kTarnMail +
                                       "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x8C\x8F\x90\x94\x82\xCC\x8E\xE6\x93\xBE\x82\xC9"
                                       "\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
inline const std::string kLoggedOutTip =
    kTarnMail + "\x83\x8D\x83O\x83" "C\x83\x93\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1";

inline std::string NewMailPopup(int count) { return kNewMail + std::to_string(count) + kItems; }
inline std::string NewMailTip(int count) { return kTarnMail + NewMailPopup(count); }

}  // namespace shown_texts

}  // namespace test
