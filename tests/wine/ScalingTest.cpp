// The notifier's windows at 100, 150 and 200 %: the tray icon handed to the shell, the popup's
// rectangle, margin and drawing, the login dialog's size. Wine takes the prefix's
// LogPixels only when a process starts, so the larger scales run this program again.
#undef _WIN32_WINNT
#undef WINVER
#define _WIN32_WINNT 0x0A00  // the per-monitor DPI calls
#define WINVER 0x0A00
#include <gtest/gtest.h>
#include <windows.h>
#include <shellscalingapi.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "notifier/settings/LoginDialog.h"
#include "notifier/ui/PopupWindow.h"
#include "notifier/ui/TrayIcon.h"
#include "notifier/res/Resource.h"
#include "tests/support/Registry.h"
#include "tests/support/Processes.h"
#include "tests/support/Waiting.h"
#include "tests/support/Windows.h"

namespace {

using namespace test;

constexpr const char* kScaleVariable = "MEWLARK_TEST_DPI";

struct Scale {
    int dpi;
    int icon;                  // the tray icon's side
    LONG width, height, margin;  // the popup
};
constexpr Scale kScales[] = {{96, 16, 226, 30, 4}, {144, 24, 339, 45, 6}, {192, 32, 452, 60, 8}};

// The system's DPI this process was started at: 96 unless the first run started it for another.
int ThisSystemDpi() {
    char value[8] = {};
    return GetEnvironmentVariableA(kScaleVariable, value, sizeof(value)) ? std::atoi(value) : 96;
}

Scale ScaleAt(UINT dpi) {
    for (const Scale& scale : kScales) {
        if (scale.dpi == static_cast<int>(dpi)) return scale;
    }
    return {};
}

int IconSide(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectA(info.hbmColor, sizeof(bitmap), &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// The notifier draws at the primary monitor's DPI, not at the system's. Wine 8 gives the monitor
// the system's DPI; Wine 10 keeps the one its desktop started with (96), so there the larger
// LogPixels show a monitor whose DPI is not the system's.
TEST(AtEachScale, TheTrayIconPopupAndDialogsGrowWithTheDpi) {
    const int systemDpi = ThisSystemDpi();
    const HDC screen = GetDC(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), systemDpi) << "the prefix's LogPixels (told only to a DPI-aware process)";
    ReleaseDC(nullptr, screen);
    UINT monitorDpi = 0, unused = 0;
    GetDpiForMonitor(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), MDT_EFFECTIVE_DPI, &unused, &monitorDpi);
    const Scale scale = ScaleAt(monitorDpi);
    ASSERT_NE(scale.dpi, 0) << "a monitor at " << monitorDpi << " DPI";

    struct : TrayShell {
        bool NotifyIcon(DWORD message, NOTIFYICONDATAA& data) override { return added = message == NIM_ADD ? data.hIcon : added, true; }
        HICON added = nullptr;
    } shell;
    TrayIcon tray(shell);
    MessageWindow owner([](UINT, WPARAM, LPARAM) { return false; });
    tray.Prepare(owner.Handle(), GetModuleHandleA(nullptr), WM_USER + 1, 0);
    ASSERT_TRUE(tray.Add(CheckStatus::Ok, 0));
    EXPECT_EQ(IconSide(shell.added), scale.icon);

    PopupWindow popup;
    ASSERT_TRUE(popup.Create(GetModuleHandleA(nullptr)));
    popup.ShowPopup(6000, "\x81\xA1\x81\xA1\x81\xA1\x81\xA1\x81\xA1\x81\xA1");  // six black squares
    UpdateWindow(popup.Window());
    PumpFor(100);
    RECT workArea{}, placed{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    GetWindowRect(popup.Window(), &placed);
    EXPECT_EQ(std::make_tuple(placed.right - placed.left, placed.bottom - placed.top, placed.right, placed.bottom),
              std::make_tuple(scale.width, scale.height, workArea.right - scale.margin, workArea.bottom - scale.margin));
    // The picture drawn for the scale, and the text whole inside its scaled rectangle.
    const HDC dc = GetDC(popup.Window());
    const auto at = [&](int x, int y) { return GetPixel(dc, MulDiv(x, scale.dpi, 96), MulDiv(y, scale.dpi, 96)); };
    EXPECT_EQ(std::make_tuple(at(0, 0), at(150, 4), at(10, 25)), std::make_tuple(RGB(0, 0, 0), RGB(255, 255, 255), RGB(216, 0, 0)));
    int top = -1, bottom = -1;
    for (int y = MulDiv(2, scale.dpi, 96); y < MulDiv(28, scale.dpi, 96); ++y) {
        for (int x = MulDiv(63, scale.dpi, 96); x < MulDiv(223, scale.dpi, 96); ++x) {
            if (GetPixel(dc, x, y) != RGB(0, 0, 0)) continue;
            bottom = y, top = top < 0 ? y : top;
            break;
        }
    }
    ReleaseDC(popup.Window(), dc);
    EXPECT_GT(top, MulDiv(2, scale.dpi, 96)) << "text cut at the top";
    EXPECT_LT(bottom, MulDiv(27, scale.dpi, 96)) << "text cut at the bottom";
    EXPECT_GE(bottom - top, MulDiv(8, scale.dpi, 96)) << "the font scaled with the rest";
    EXPECT_LE(bottom - top, MulDiv(11, scale.dpi, 96)) << "the font made for the monitor's DPI, not the system's";
    EXPECT_NEAR((top + bottom) / 2, MulDiv(15, scale.dpi, 96), MulDiv(3, scale.dpi, 96)) << "centred in the picture";

    // The dialogs grow with their 9-point font, which Windows makes for the dialog's DPI and Wine
    // for the system's: the login dialog, 340 x 154 at 96 DPI under Wine, within a few pixels of
    // the font's rounding.
    LoginDialog login;
    Drive(login, [&](HWND dialog) {
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof(font), &font);
        const int dpi = MulDiv(std::abs(font.lfHeight), 72, 9);
        EXPECT_TRUE(dpi == systemDpi || dpi == static_cast<int>(GetDpiForWindow(dialog))) << dpi;
        RECT client{};
        GetClientRect(dialog, &client);
        EXPECT_NEAR(client.right, MulDiv(340, dpi, 96), MulDiv(25, dpi, 96));
        EXPECT_NEAR(client.bottom, MulDiv(154, dpi, 96), MulDiv(12, dpi, 96));
        ClickLater(dialog, IDCANCEL);
    });
}

// The first run starts this program again at 150 and 200 %, LogPixels put back afterwards.
TEST(Scaling, At150And200PercentInProcessesOfTheirOwn) {
    if (ThisSystemDpi() != 96) GTEST_SKIP() << "a run for one scale";
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    for (const int dpi : {144, 192}) {
        const SavedValue logPixels(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels",
                                   RegistryValue{REG_DWORD, Dword(static_cast<DWORD>(dpi))});
        SetEnvironmentVariableA(kScaleVariable, std::to_string(dpi).c_str());
        const Process run = Process::Start(std::string("\"") + program + "\" --gtest_filter=AtEachScale.*");
        SetEnvironmentVariableA(kScaleVariable, nullptr);
        ASSERT_TRUE(run.Ended(120000)) << dpi;
        EXPECT_EQ(run.ExitCode(), 0u) << dpi << " dpi: the run's failures are in the output above";
    }
}

}  // namespace
