#include "notifier/ui/tray_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

namespace {

// "tarnメール " and its four tooltips in code page 932.
const std::string kTarnMail = "tarn\x83\x81\x81[\x83\x8B ";
const std::string kNewMail = kTarnMail + "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xAA ";
const std::string kItems = " \x8C\x8F\x82\xA0\x82\xE8\x82\xDC\x82\xB7";
const std::string kNoNewMail = kTarnMail + "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
const std::string kFailure = kTarnMail + "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x8C\x8F\x90\x94\x82\xCC\x8E\xE6\x93\xBE\x82\xC9"
                                         "\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
const std::string kLoggedOut = kTarnMail + "\x83\x8D\x83O\x83" "C\x83\x93\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1";

TEST(TrayRules, IconAndTooltipForEveryStatus) {
    const struct {
        CheckStatus status;
        std::int32_t count;
        TrayIconIndex icon;
        std::string tip;
    } cases[] = {
        {CheckStatus::Ok, 1, IconNewMail, kNewMail + "1" + kItems},
        {CheckStatus::Ok, 42, IconNewMail, kNewMail + "42" + kItems},
        {CheckStatus::Ok, 0, IconIdle, kNoNewMail},
        {CheckStatus::Failed, 0, IconError, kFailure},
        {CheckStatus::ServiceError, 7, IconError, kFailure},
        {CheckStatus::LoginRequired, 9, IconLoggedOut, kLoggedOut},
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
