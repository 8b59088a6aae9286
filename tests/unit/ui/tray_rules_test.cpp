#include "notifier/ui/TrayRules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "tests/support/shown_texts.h"

namespace {

using namespace test::shown_texts;

TEST(TrayRules, IconAndTooltipForEveryStatus) {
    const struct {
        CheckStatus status;
        std::int32_t count;
        TrayIconIndex icon;
        std::string tip;
    } cases[] = {
        {CheckStatus::Ok, 1, IconNewMail, NewMailTip(1)},
        {CheckStatus::Ok, 42, IconNewMail, NewMailTip(42)},
        {CheckStatus::Ok, 0, IconIdle, kTarnMail + kNoNewMail},
        {CheckStatus::Failed, 0, IconError, kFailureTip},
        {CheckStatus::ServiceError, 7, IconError, kFailureTip},
        {CheckStatus::LoginRequired, 9, IconLoggedOut, kLoggedOutTip},
        {static_cast<CheckStatus>(4), 3, IconError, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseTrayIcon(c.status, c.count), c.icon) << static_cast<int>(c.status) << " " << c.count;
        EXPECT_EQ(TrayTipText(c.status, c.count), c.tip) << static_cast<int>(c.status) << " " << c.count;
    }
}

TEST(TrayTip, CutAt127BytesNeverInsideADoubleByteCharacter) {
    std::string wide;
    for (int i = 0; i < 80; ++i) wide += "\x83\x81";
    const std::pair<std::string, std::string> cases[] = {
        // A double-byte character that would end at byte 128 is left out whole.
        {std::string(126, 'a') + "\x83\x5C" + "b", std::string(126, 'a')},
        {std::string(125, 'a') + "\x95\x5C" + "b", std::string(125, 'a') + "\x95\x5C"},
        {wide, wide.substr(0, 126)},
        {"short", "short"},
        {"", ""},
    };
    for (const auto& [text, cut] : cases) {
        char tip[128];
        std::fill(std::begin(tip), std::end(tip), '#');
        CopyTrayTip(text, tip, sizeof(tip));
        EXPECT_EQ(std::string(tip), cut);
    }
}

}  // namespace
