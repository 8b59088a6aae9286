// What the end of a check pass shows and what follows it: pure rules over the result
// shown before and the result of the pass.
#pragma once

#include <cstdint>
#include <string>

#include "notifier/service/CheckStatus.h"

// A result as the tray shows it: the count is 0 unless the status is Ok.
struct ShownResult {
    CheckStatus status = CheckStatus::Ok;
    std::int32_t count = 0;
};

enum class Announcement {
    None,
    NewMail,    // sound, then the popup with the count
    NoNewMail,  // the popup saying there is none, without sound
};

// New mail when the count is above 0 and changed or a re-fetch was asked for; otherwise
// "no new mail" when the status is Ok and changed or a re-fetch was asked for.
Announcement ChooseAnnouncement(ShownResult previous, ShownResult current, bool manualRefetch);

enum class PassFollowUp {
    ScheduleNextCheck,  // Logout enabled, next pass in five minutes
    PromptLogin,        // Logout greyed, no timer, ask for the login
    Nothing,            // an unknown status: leave everything as it is
};

PassFollowUp FollowUpFor(CheckStatus status);

// Texts of the popup, in the system code page.
std::string NewMailPopupText(std::int32_t count);
std::string NoNewMailPopupText();

// How long the popup stays up for an announcement.
inline constexpr unsigned kAnnouncementMs = 6000;
// Interval from the end of a pass to the next automatic one.
inline constexpr unsigned kNextCheckMs = 300000;
