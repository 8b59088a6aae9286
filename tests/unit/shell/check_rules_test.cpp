#include "notifier/shell/CheckRules.h"

#include <gtest/gtest.h>

#include "tests/support/shown_texts.h"

namespace {

constexpr CheckStatus kOk = CheckStatus::Ok;
constexpr CheckStatus kFailed = CheckStatus::Failed;
constexpr CheckStatus kServiceError = CheckStatus::ServiceError;
constexpr CheckStatus kLogin = CheckStatus::LoginRequired;

TEST(Announcement, ScenariosOfTheCheckCycle) {
    const struct {
        ShownResult previous;
        ShownResult current;
        bool refetch;
        Announcement expected;
        const char* what;
    } cases[] = {
        {{kOk, 2}, {kOk, 3}, false, Announcement::NewMail, "2 -> 3"},
        {{kOk, 3}, {kOk, 2}, false, Announcement::NewMail, "3 -> 2"},
        {{kOk, 3}, {kOk, 3}, false, Announcement::None, "3 -> 3"},
        {{kOk, 3}, {kOk, 0}, false, Announcement::None, "3 -> 0"},
        {{kOk, 0}, {kOk, 0}, true, Announcement::NoNewMail, "re-fetch with 0"},
        {{kOk, 3}, {kOk, 3}, true, Announcement::NewMail, "re-fetch with 3"},
        {{kOk, 3}, {kFailed, 0}, false, Announcement::None, "Failed after Ok 3"},
        {{kOk, 3}, {kFailed, 0}, true, Announcement::None, "re-fetch that fails"},
        {{kFailed, 0}, {kOk, 3}, false, Announcement::NewMail, "Ok 3 after Failed"},
        {{kFailed, 0}, {kOk, 0}, false, Announcement::NoNewMail, "Ok 0 after Failed"},
        {{kServiceError, 0}, {kOk, 0}, false, Announcement::NoNewMail, "Ok 0 after ServiceError"},
        {{kOk, 0}, {kOk, 0}, false, Announcement::None, "first pass, nothing new"},
        {{kOk, 0}, {kOk, 5}, false, Announcement::NewMail, "first pass with mail"},
        {{kOk, 0}, {kLogin, 0}, false, Announcement::None, "login required"},
        {{kLogin, 0}, {kLogin, 0}, true, Announcement::None, "re-fetch while logged out"},
        {{kOk, 1}, {kServiceError, 0}, true, Announcement::None, "dberror on re-fetch"},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseAnnouncement(c.previous, c.current, c.refetch), c.expected) << c.what;
}

TEST(PopupTexts, TheLargestCountFits) {
    EXPECT_EQ(NewMailPopupText(2147483647), test::shown_texts::NewMailPopup(2147483647));
}

}  // namespace
