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

// An early pass (after a wake-up, or when the network returns after a pass that could not
// reach the service) starts this long after its event, once the network has settled.
inline constexpr unsigned kEarlyPassSettleMs = 3000;
// A network that comes and goes starts at most one early pass per this interval.
inline constexpr unsigned kNetworkPassIntervalMs = 30000;

// Lets an event through at most once per interval of a millisecond tick count that wraps
// around (GetTickCount's, after 49.7 days).
class OncePerInterval {
public:
    explicit constexpr OncePerInterval(std::uint32_t intervalMs) : intervalMs_(intervalMs) {}
    // True, and the interval starts again, when none was let through in the interval before now.
    bool Allow(std::uint32_t nowMs);

private:
    std::uint32_t intervalMs_;
    bool anyAllowed_ = false;
    std::uint32_t lastAllowedMs_ = 0;
};
