// The setup log on a real file: layout with the user's date and time, one install per file,
// bound-only writes dropped, file errors ignored.
#include <gtest/gtest.h>
#include <windows.h>

#include "setup/SetupLog.h"
#include "tests/unit/setup/setup_test_support.h"

using namespace setup_test;

namespace {

std::string Stamp(const SYSTEMTIME& time) {
    char date[64] = {};
    char clock[64] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, sizeof(date));
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, sizeof(clock));
    return "[" + std::string(date) + " " + clock + "] ";
}

class SetupLog : public ::testing::Test {
protected:
    void TearDown() override { BindLog(std::string()); }
    ScratchFolder scratch;
    const std::string logPath = scratch / "hcSetup.log";
};

TEST_F(SetupLog, LinesCarryTheUsersShortDateAndLongTime) {
    BindLog(logPath);
    OpenLog();
    SYSTEMTIME before;
    GetLocalTime(&before);
    WriteLog(LogLevel::Info, "start setup");
    SYSTEMTIME after;
    GetLocalTime(&after);

    const std::string text = ReadText(logPath);
    const std::string line = "Info : start setup\r\n";
    EXPECT_TRUE(text == Stamp(before) + line || text == Stamp(after) + line) << text;
}

TEST_F(SetupLog, EachInstallReplacesTheLogAndAnUninstallLeavesIt) {
    BindLog(logPath);
    OpenLog();
    WriteLog(LogLevel::Info, "start setup");
    WriteLog(LogLevel::Error, "first install");

    BindLog(logPath);
    OpenLog();
    WriteLog(LogLevel::Info, "start setup");
    const std::string japanese = Cp932(u8"表示ソフト");
    WriteLog(LogLevel::Success, japanese);
    // Each line is in the file as soon as it is written.
    EXPECT_EQ(LogEntries(logPath), (std::vector<std::string>{"Info : start setup", "Success : " + japanese}));

    // The uninstall only binds the log: its lines go nowhere.
    const std::string installed = ReadText(logPath);
    BindLog(logPath);
    WriteLog(LogLevel::Info, "uninstall");
    EXPECT_EQ(ReadText(logPath), installed);
}

TEST_F(SetupLog, AFileThatCannotBeMadeDropsTheLines) {
    const std::string unreachable = scratch / "missing\\hcSetup.log";
    BindLog(unreachable);
    OpenLog();
    WriteLog(LogLevel::Info, "start setup");
    EXPECT_FALSE(IsFile(unreachable));

    // Unbound: nothing is written anywhere, nothing fails.
    BindLog(std::string());
    OpenLog();
    WriteLog(LogLevel::Info, "nowhere");
}

}  // namespace
