#include "notifier/shell/CheckRules.h"

#include <cstdio>

Announcement ChooseAnnouncement(ShownResult previous, ShownResult current, bool manualRefetch) {
    if (current.count > 0 && (manualRefetch || current.count != previous.count)) return Announcement::NewMail;
    if (current.status == CheckStatus::Ok && (manualRefetch || current.status != previous.status)) {
        return Announcement::NoNewMail;
    }
    return Announcement::None;
}

PassFollowUp FollowUpFor(CheckStatus status) {
    switch (status) {
        case CheckStatus::Ok:
        case CheckStatus::Failed:
        case CheckStatus::ServiceError:
            return PassFollowUp::ScheduleNextCheck;
        case CheckStatus::LoginRequired:
            return PassFollowUp::PromptLogin;
    }
    return PassFollowUp::Nothing;
}

bool OncePerInterval::Allow(std::uint32_t nowMs) {
    // Unsigned difference: right across the tick count's wrap.
    if (anyAllowed_ && nowMs - lastAllowedMs_ < intervalMs_) return false;
    anyAllowed_ = true;
    lastAllowedMs_ = nowMs;
    return true;
}

std::string NewMailPopupText(std::int32_t count) {
    char text[64];
    std::snprintf(text, sizeof(text), "新着メールが %d 件あります", static_cast<int>(count));
    return text;
}

std::string NoNewMailPopupText() { return "新着メールはありません"; }
