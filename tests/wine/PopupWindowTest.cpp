// The popup window under Wine: placement, text, the hide timer, drawing and the forwarding of
// mouse messages.
#include "notifier/ui/PopupWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/support/Waiting.h"

namespace {

class Popup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(popup.Create(GetModuleHandleA(nullptr))); }
    bool Visible() const { return IsWindowVisible(popup.Window()) != FALSE; }
    PopupWindow popup;
};

TEST_F(Popup, ATopMostToolWindowInsideTheWorkAreasCornerShownForItsTime) {
    EXPECT_EQ(GetWindowLongA(popup.Window(), GWL_EXSTYLE) & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
              WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    // A taskbar on the right: the work area ends earlier, and the popup follows it.
    RECT original{}, placed{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &original, 0);
    RECT narrowed = original;
    narrowed.right -= 60;
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETWORKAREA, 0, &narrowed, 0));
    popup.ShowPopup(300, "first");
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &original, 0);
    ASSERT_TRUE(Visible());
    EXPECT_NE(GetForegroundWindow(), popup.Window()) << "the popup never takes the focus";
    GetWindowRect(popup.Window(), &placed);
    EXPECT_EQ(std::make_tuple(placed.right, placed.bottom, placed.right - placed.left, placed.bottom - placed.top),
              std::make_tuple(narrowed.right - 4, narrowed.bottom - 4, 226L, 30L));

    // New text while visible restarts the display time; the hide timer ends itself.
    test::PumpFor(150);
    popup.ShowPopup(2000, "second");
    EXPECT_EQ(popup.Text(), "second");
    test::PumpFor(600);
    EXPECT_TRUE(Visible()) << "well past the first display time";
    EXPECT_TRUE(test::WaitFor([&] { return !Visible(); }, 5000));
    EXPECT_FALSE(KillTimer(popup.Window(), PopupWindow::TIMER_POPUP_HIDE));
    popup.ShowPopup(6000, nullptr);
    EXPECT_EQ(popup.Text(), "second") << "no text given: the previous one is shown again";
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
        EXPECT_EQ(std::make_tuple(record.hwnd, record.wParam, record.lParam),
                  std::make_tuple(popup.Window(), WPARAM{MK_LBUTTON}, LPARAM{MAKELPARAM(5, 7)}));
        return forwarded.push_back(record.message), true;
    });
    popup.SetNotifyTarget(receiver.Handle(), kNotifyMessage);
    const std::vector<UINT> mouse = {WM_MOUSEMOVE, WM_LBUTTONUP, WM_RBUTTONDBLCLK, WM_MOUSEWHEEL};
    for (const UINT message : mouse) SendMessageA(popup.Window(), message, MK_LBUTTON, MAKELPARAM(5, 7));
    for (const UINT other : {0x20Bu, UINT{WM_KEYDOWN}}) SendMessageA(popup.Window(), other, MK_LBUTTON, MAKELPARAM(5, 7));
    EXPECT_EQ(forwarded, mouse);
    MSG forged{};
    EXPECT_FALSE(popup.IsOwnMouseEvent(reinterpret_cast<WPARAM>(&popup), reinterpret_cast<LPARAM>(&forged)));
    EXPECT_FALSE(popup.IsOwnMouseEvent(reinterpret_cast<WPARAM>(&popup), 0)) << "none in flight";
}

}  // namespace
