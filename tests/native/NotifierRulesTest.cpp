// The notifier's portable rules: the reply grammar, form encoding, Set-Cookie pairs, URLs,
// the response body, the command-line verbs, what a pass announces and what the tray shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "notifier/service/ArrivalReply.h"
#include "notifier/service/FormEncode.h"
#include "notifier/service/ResponseBody.h"
#include "notifier/service/UrlParts.h"
#include "notifier/shell/CheckRules.h"
#include "notifier/shell/CommandVerbs.h"
#include "notifier/ui/TrayRules.h"
#include "tests/support/ShownTexts.h"

namespace {

using namespace test::shown_texts;
constexpr CheckStatus kOk = CheckStatus::Ok, kFailed = CheckStatus::Failed, kServiceError = CheckStatus::ServiceError,
                      kLogin = CheckStatus::LoginRequired;

TEST(ServiceTexts, TheReplyGrammar) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const std::tuple<const char*, CheckStatus, std::int32_t> cases[] = {
        {"12\r\n", kOk, 12}, {"0", kOk, 0}, {"99+", kOk, 99}, {"+5", kOk, 5}, {"1+2", kOk, 1}, {"3\n4", kOk, 3},
        {"dberror\r\nmore", kServiceError, 0}, {"DBERROR", kOk, 0}, {"unknown\n7", kLogin, 0}, {" 12", kOk, 0},
        {"<html>", kOk, 0}, {"", kFailed, 0}, {"\r\n12", kFailed, 0}, {"99999999999", kOk, kMax}};
    for (const auto& [reply, status, count] : cases) {
        std::int32_t read = -1;
        EXPECT_EQ(std::make_pair(ParseArrivalReply(reply, read), read), std::make_pair(status, count)) << reply;
    }
}

TEST(ServiceTexts, FormEncodingKeepsLettersDigitsAndSevenMarksAndHttpsUrlsGoToPort443) {
    const std::pair<std::string, std::string> cases[] = {
        {"a b&c", "a+b%26c"}, {"AZaz09!$'*-.@", "AZaz09!$'*-.@"}, {std::string("_~%+\0", 5), "%5F%7E%25%2B%00"},
        // Double-byte characters go byte by byte: the trail byte 0x5C is escaped like a backslash.
        {"\x83\x41\x95\x5C\xFF", "%83A%95%5C%FF"}};
    for (const auto& [text, encoded] : cases) {
        std::string out = "previous content";
        FormUrlEncode(text, out);
        EXPECT_EQ(out, encoded) << text;
    }
    EXPECT_EQ(BuildLoginBody("http://m/", "m", "a b", "p&q"), "success=http%3A%2F%2Fm%2F&site=m&auto=1&uname=a+b&pass=p%26q");
    UrlParts parts;
    ASSERT_TRUE(SplitUrl("https://login.example/certify-cgi/login.cgi", parts));
    EXPECT_EQ(std::tie(parts.host, parts.port, parts.path), std::make_tuple("login.example", 443, "/certify-cgi/login.cgi"));
}

TEST(ServiceTexts, TheResponseBodyHoldsAFullBlockAndItsEnd) {
    // Chunk i is filled with 'a' + i; under ASan a zero byte stored past the 2000-byte block aborts.
    const std::size_t chunks[] = {2000, 2000, 1000, 0};
    std::size_t reads = 0;
    ResponseBody body;
    EXPECT_TRUE(body.ReadUpTo(
        "\r\n", [&](char* into, std::size_t, std::size_t& got) {
            std::memset(into, 'a' + static_cast<int>(reads), got = chunks[reads]);
            return ++reads, true;
        },
        [] { return false; }));
    EXPECT_EQ(std::string(body.Data()), std::string(2000, 'a') + std::string(2000, 'b') + std::string(1000, 'c'));
}

TEST(CommandVerbs, WholeTokensCaseInsensitiveFirstMatchWins) {
    const std::pair<const char*, CommandVerb> verbs[] = {
        {"", CommandVerb::None}, {"/stop", CommandVerb::Stop}, {"Stopper", CommandVerb::None},
        {"-SETAUTOSTART /Stop", CommandVerb::SetAutoStart}, {"UNSETAUTOSTART", CommandVerb::UnsetAutoStart},
        {"\x83/Stop", CommandVerb::None}, {"\x95\x5C/Stop", CommandVerb::Stop}};
    for (const auto& [line, verb] : verbs) EXPECT_EQ(FindCommandVerb(line), verb) << line;
    const std::pair<const char*, bool> servers[] = {
        {"Mewlark.exe -RegServer", false}, {"Mewlark.exe /unregserver\t/x", false}, {"Mewlark.exe -RegServerX", true},
        {"\"C:\\a-b\\Mewlark.exe\" /Stop -regserver", false}, {"Mewlark.exe \x83/RegServer", true}};
    for (const auto& [line, run] : servers) EXPECT_EQ(ParseServerVerbs(line), run) << line;
}

TEST(CheckRules, WhatAPassAnnouncesAndWhatFollows) {
    const std::tuple<ShownResult, ShownResult, bool, Announcement> cases[] = {
        {{kOk, 2}, {kOk, 3}, false, Announcement::NewMail}, {{kOk, 3}, {kOk, 2}, false, Announcement::NewMail},
        {{kOk, 3}, {kOk, 3}, false, Announcement::None}, {{kOk, 3}, {kOk, 0}, false, Announcement::None},
        {{kOk, 0}, {kOk, 0}, true, Announcement::NoNewMail}, {{kOk, 3}, {kOk, 3}, true, Announcement::NewMail},
        {{kOk, 3}, {kFailed, 0}, true, Announcement::None}, {{kFailed, 0}, {kOk, 0}, false, Announcement::NoNewMail},
        {{kOk, 0}, {kOk, 0}, false, Announcement::None}, {{kLogin, 0}, {kLogin, 0}, true, Announcement::None}};
    for (const auto& [previous, current, refetch, expected] : cases) {
        EXPECT_EQ(ChooseAnnouncement(previous, current, refetch), expected)
            << static_cast<int>(previous.status) << "/" << previous.count << " -> " << static_cast<int>(current.status)
            << "/" << current.count << (refetch ? " re-fetched" : "");
    }
    for (const CheckStatus status : {kOk, kFailed, kServiceError, kLogin}) {
        EXPECT_EQ(FollowUpFor(status), status == kLogin ? PassFollowUp::PromptLogin : PassFollowUp::ScheduleNextCheck);
    }
    EXPECT_EQ(NewMailPopupText(2147483647), NewMailPopup(2147483647));
    EXPECT_EQ(std::make_pair(kNextCheckMs, kAnnouncementMs), std::make_pair(300000u, 6000u)) << "five minutes, six seconds";

    // One early pass per interval for a flapping network, right across the tick count's wrap.
    OncePerInterval networkPasses(kNetworkPassIntervalMs);
    const std::uint32_t start = 0xFFFFC000u;
    EXPECT_TRUE(networkPasses.Allow(start));
    EXPECT_FALSE(networkPasses.Allow(start + 1) || networkPasses.Allow(start + kNetworkPassIntervalMs - 1));
    EXPECT_TRUE(networkPasses.Allow(start + kNetworkPassIntervalMs));
    EXPECT_FALSE(networkPasses.Allow(start + kNetworkPassIntervalMs));
}

TEST(TrayRules, IconAndTooltipForEveryStatus) {
    const std::tuple<CheckStatus, std::int32_t, TrayIconIndex, std::string> cases[] = {
        {kOk, 42, IconNewMail, NewMailTip(42)}, {kOk, 0, IconIdle, kTarnMail + kNoNewMail},
        {kFailed, 0, IconError, kFailureTip}, {kServiceError, 7, IconError, kFailureTip},
        {kLogin, 9, IconLoggedOut, kLoggedOutTip}, {static_cast<CheckStatus>(4), 3, IconError, ""}};
    for (const auto& [status, count, icon, tip] : cases) {
        EXPECT_EQ(std::make_pair(ChooseTrayIcon(status, count), TrayTipText(status, count)), std::make_pair(icon, tip))
            << static_cast<int>(status) << " " << count;
    }
}

}  // namespace
