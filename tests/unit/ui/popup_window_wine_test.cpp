// The popup window under Wine: placement, text, the hide timer, drawing and the
// forwarding of mouse messages.
#include "notifier/ui/PopupWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/unit/ui/message_pump.h"

namespace {

class Popup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(popup.Create(GetModuleHandleA(nullptr))); }
    bool Visible() const { return IsWindowVisible(popup.Window()) != FALSE; }

    PopupWindow popup;
};

TEST_F(Popup, TopMostToolWindowFourPixelsInsideTheWorkAreasCorner) {
    char className[64] = {};
    GetClassNameA(popup.Window(), className, sizeof(className));
    EXPECT_STREQ(className, "SIMPLEPOPUPCLASS");
    EXPECT_FALSE(Visible());
    EXPECT_EQ(GetWindowLongA(popup.Window(), GWL_STYLE) & (WS_POPUP | WS_CAPTION | WS_BORDER | WS_THICKFRAME), WS_POPUP);
    EXPECT_EQ(GetWindowLongA(popup.Window(), GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
              WS_EX_TOPMOST | WS_EX_TOOLWINDOW);

    // A taskbar on the right: the work area ends earlier, and the popup follows it.
    RECT original{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &original, 0);
    RECT narrowed = original;
    narrowed.right -= 60;
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETWORKAREA, 0, &narrowed, 0));
    popup.ShowPopup(6000, "first");
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &original, 0);
    ASSERT_TRUE(Visible());
    EXPECT_NE(GetForegroundWindow(), popup.Window()) << "the popup never takes the focus";
    RECT placed{};
    GetWindowRect(popup.Window(), &placed);
    EXPECT_EQ(placed.right, narrowed.right - 4);
    EXPECT_EQ(placed.bottom, narrowed.bottom - 4);
    EXPECT_EQ(placed.right - placed.left, 226) << "the size of the background picture";
    EXPECT_EQ(placed.bottom - placed.top, 30);

    popup.HideNow();
    popup.ShowPopup(6000, nullptr);
    EXPECT_EQ(popup.Text(), "first") << "no text given: the previous one is shown again";
}

TEST_F(Popup, NewTextWhileVisibleRestartsTheDisplayTime) {
    popup.ShowPopup(300, "first");
    test::PumpFor(150);
    ASSERT_TRUE(Visible());
    popup.ShowPopup(2000, "second");
    EXPECT_EQ(popup.Text(), "second");
    test::PumpFor(600);
    EXPECT_TRUE(Visible()) << "well past the first display time";
    // The hide timer slides it out in the end and ends itself.
    EXPECT_TRUE(test::PumpUntil([&] { return !Visible(); }, 5000));
    EXPECT_FALSE(KillTimer(popup.Window(), PopupWindow::TIMER_POPUP_HIDE));
}

TEST_F(Popup, DrawsThePictureAndTheTextInItsRectangle) {
    popup.ShowPopup(6000, "\x81\xA1\x81\xA1\x81\xA1\x81\xA1\x81\xA1\x81\xA1");  // six black squares
    UpdateWindow(popup.Window());
    test::PumpFor(100);
    const HDC dc = GetDC(popup.Window());
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0)) << "one-pixel black frame";
    EXPECT_EQ(GetPixel(dc, 150, 4), RGB(255, 255, 255)) << "white background";
    int dark = 0;
    for (int x = 63; x < 223; ++x) dark += GetPixel(dc, x, 15) == RGB(0, 0, 0);
    ReleaseDC(popup.Window(), dc);
    EXPECT_GT(dark, 10) << "the text drawn across the middle of its rectangle";
}

TEST_F(Popup, ForwardsEveryMouseMessageAndNothingElse) {
    constexpr UINT kNotifyMessage = WM_USER + 3;
    std::vector<UINT> forwarded;
    test::MessageWindow receiver([&](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != kNotifyMessage) return false;
        const MSG& record = *reinterpret_cast<const MSG*>(lParam);
        EXPECT_TRUE(popup.IsOwnMouseEvent(wParam, lParam));
        EXPECT_EQ(std::make_tuple(record.hwnd, record.wParam, record.lParam, record.time),
                  std::make_tuple(popup.Window(), WPARAM{MK_LBUTTON}, LPARAM{MAKELPARAM(5, 7)}, DWORD{0}));
        forwarded.push_back(record.message);
        return true;
    });
    popup.SetNotifyTarget(receiver.Handle(), kNotifyMessage);

    const std::vector<UINT> mouse = {WM_MOUSEMOVE,  WM_LBUTTONDOWN,   WM_LBUTTONUP,
                                     WM_RBUTTONUP,  WM_RBUTTONDBLCLK, WM_MOUSEWHEEL};
    for (const UINT message : mouse) EXPECT_EQ(SendMessageA(popup.Window(), message, MK_LBUTTON, MAKELPARAM(5, 7)), 0);
    SendMessageA(popup.Window(), 0x20B, MK_LBUTTON, MAKELPARAM(5, 7));  // beyond the range: an extra mouse button
    SendMessageA(popup.Window(), WM_KEYDOWN, MK_LBUTTON, MAKELPARAM(5, 7));
    EXPECT_EQ(forwarded, mouse);
    // The same message from anyone else is not the popup's.
    MSG forged{};
    EXPECT_FALSE(popup.IsOwnMouseEvent(reinterpret_cast<WPARAM>(&popup), reinterpret_cast<LPARAM>(&forged)));
}

}  // namespace
