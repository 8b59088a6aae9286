#include "notifier/ui/tray_rules.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const std::string kTarnMail = "tarn\x83\x81\x81[\x83\x8B ";
const std::string kNewMailPrefix = kTarnMail + "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xAA ";
const std::string kNewMailSuffix = " \x8C\x8F\x82\xA0\x82\xE8\x82\xDC\x82\xB7";
const std::string kNoNewMail =
    kTarnMail + "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
const std::string kFailure = kTarnMail +
                             "\x90V\x92\x85\x83\x81\x81[\x83\x8B\x8C\x8F\x90\x94\x82\xCC\x8E\xE6\x93\xBE\x82\xC9"
                             "\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
const std::string kLoggedOut = kTarnMail + "\x83\x8D\x83O\x83" "C\x83\x93\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1";

struct Case {
    CheckStatus status;
    std::int32_t count;
    TrayIconIndex icon;
    std::string tip;
};

TEST(TrayRules, IconAndTooltipForEveryStatus) {
    const Case cases[] = {
        {CheckStatus::Ok, 1, IconNewMail, kNewMailPrefix + "1" + kNewMailSuffix},
        {CheckStatus::Ok, 42, IconNewMail, kNewMailPrefix + "42" + kNewMailSuffix},
        {CheckStatus::Ok, 0, IconIdle, kNoNewMail},
        {CheckStatus::Failed, 0, IconError, kFailure},
        {CheckStatus::ServiceError, 7, IconError, kFailure},
        {CheckStatus::LoginRequired, 0, IconLoggedOut, kLoggedOut},
        {CheckStatus::LoginRequired, 9, IconLoggedOut, kLoggedOut},
        {static_cast<CheckStatus>(4), 3, IconError, ""},
        {static_cast<CheckStatus>(-1), 0, IconError, ""},
    };
    for (const Case& c : cases) {
        const auto what = ::testing::Message() << "status " << static_cast<int>(c.status) << ", count " << c.count;
        EXPECT_EQ(ChooseTrayIcon(c.status, c.count), c.icon) << what;
        EXPECT_EQ(TrayTipText(c.status, c.count), c.tip) << what;
    }
}

TEST(TrayTip, CutAt127BytesNeverInsideADoubleByteCharacter) {
    char tip[128];
    std::memset(tip, '#', sizeof(tip));

    // 126 single bytes, then a double-byte character that would end at byte 128.
    const std::string split = std::string(126, 'a') + "\x83\x5C" + "b";
    CopyTrayTip(split, tip, sizeof(tip));
    EXPECT_EQ(std::string(tip), std::string(126, 'a'));

    // 125 single bytes and one double-byte character fill exactly 127 bytes.
    const std::string exact = std::string(125, 'a') + "\x95\x5C" + "b";
    CopyTrayTip(exact, tip, sizeof(tip));
    EXPECT_EQ(std::string(tip), std::string(125, 'a') + "\x95\x5C");

    // Double-byte characters all the way: 63 of them fit.
    std::string wide;
    for (int i = 0; i < 80; ++i) wide += "\x83\x81";
    CopyTrayTip(wide, tip, sizeof(tip));
    EXPECT_EQ(std::strlen(tip), 126u);

    CopyTrayTip("short", tip, sizeof(tip));
    EXPECT_STREQ(tip, "short");
    CopyTrayTip("", tip, sizeof(tip));
    EXPECT_STREQ(tip, "");
}

}  // namespace
