// The popup window under Wine: placement, text, the hide timer, drawing and the
// forwarding of mouse messages.
#include "notifier/ui/popup_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/ui/message_pump.h"

namespace {

constexpr UINT kNotifyMessage = WM_USER + 3;

RECT WorkArea() {
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// A message-only window that keeps what the popup forwards to it.
class MouseRecorder {
public:
    struct Event {
        WPARAM wParam;
        MSG record;
        bool own;
    };

    MouseRecorder() {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "POPUPMOUSERECORDER";
        RegisterClassA(&windowClass);
        window_ = CreateWindowA("POPUPMOUSERECORDER", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~MouseRecorder() { DestroyWindow(window_); }

    HWND Window() const { return window_; }
    PopupWindow* popup = nullptr;
    std::vector<Event> events;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<MouseRecorder*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr && message == kNotifyMessage) {
            self->events.push_back({wParam, *reinterpret_cast<const MSG*>(lParam),
                                    self->popup->IsOwnMouseEvent(wParam, lParam)});
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
};

class Popup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(popup.Create(GetModuleHandleA(nullptr))); }

    bool Visible() const { return IsWindowVisible(popup.Window()) != FALSE; }

    PopupWindow popup;
};

TEST_F(Popup, CreatedHiddenAsATopMostToolWindowOfItsClass) {
    char className[64] = {};
    GetClassNameA(popup.Window(), className, sizeof(className));
    EXPECT_STREQ(className, "SIMPLEPOPUPCLASS");
    EXPECT_FALSE(Visible());
    const LONG_PTR style = GetWindowLongPtrA(popup.Window(), GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrA(popup.Window(), GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
}

TEST_F(Popup, SitsFourPixelsInsideTheWorkAreasBottomRightCorner) {
    const RECT original = WorkArea();
    popup.ShowPopup(6000, "first");
    ASSERT_TRUE(Visible());
    EXPECT_NE(GetForegroundWindow(), popup.Window()) << "the popup never takes the focus";
    RECT placed{};
    GetWindowRect(popup.Window(), &placed);
    EXPECT_EQ(placed.right, original.right - 4);
    EXPECT_EQ(placed.bottom, original.bottom - 4);
    EXPECT_EQ(placed.right - placed.left, 226) << "the size of the background picture";
    EXPECT_EQ(placed.bottom - placed.top, 30);

    // A taskbar on the right: the work area ends earlier, and the popup follows it.
    popup.HideNow();
    RECT narrowed = original;
    narrowed.right -= 60;
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETWORKAREA, 0, &narrowed, 0));
    popup.ShowPopup(6000, nullptr);
    GetWindowRect(popup.Window(), &placed);
    SystemParametersInfoA(SPI_SETWORKAREA, 0, const_cast<RECT*>(&original), 0);
    EXPECT_EQ(placed.right, narrowed.right - 4);
    EXPECT_EQ(placed.bottom, narrowed.bottom - 4);
    EXPECT_EQ(popup.Text(), "first") << "no text given: the previous one is shown again";
}

TEST_F(Popup, NewTextWhileVisibleRestartsTheDisplayTime) {
    popup.ShowPopup(300, "first");
    test::PumpFor(150);
    ASSERT_TRUE(Visible());
    popup.ShowPopup(2000, "second");
    EXPECT_EQ(popup.Text(), "second");
    // Well past the first display time the popup is still up.
    test::PumpFor(600);
    EXPECT_TRUE(Visible());
    // The hide timer slides it out in the end and ends itself.
    EXPECT_TRUE(test::PumpUntil([&] { return !Visible(); }, 5000));
    EXPECT_FALSE(KillTimer(popup.Window(), PopupWindow::TIMER_POPUP_HIDE));
}

TEST_F(Popup, HideNowHidesAndForgetsTheTimer) {
    popup.ShowPopup(6000, "text");
    popup.HideNow();
    EXPECT_FALSE(Visible());
    EXPECT_FALSE(KillTimer(popup.Window(), PopupWindow::TIMER_POPUP_HIDE));
}

TEST_F(Popup, DrawsThePictureAndTheTextInItsRectangle) {
    popup.ShowPopup(6000, "\x81\xA1\x81\xA1\x81\xA1\x81\xA1\x81\xA1\x81\xA1");  // six black squares
    UpdateWindow(popup.Window());
    test::PumpFor(100);
    HDC dc = GetDC(popup.Window());
    const COLORREF frame = GetPixel(dc, 0, 0);
    const COLORREF inside = GetPixel(dc, 150, 4);
    int dark = 0;
    for (int x = 63; x < 223; ++x) {
        if (GetPixel(dc, x, 15) == RGB(0, 0, 0)) ++dark;
    }
    ReleaseDC(popup.Window(), dc);
    EXPECT_EQ(frame, RGB(0, 0, 0)) << "one-pixel black frame";
    EXPECT_EQ(inside, RGB(255, 255, 255)) << "white background";
    EXPECT_GT(dark, 10) << "the text drawn across the middle of its rectangle";
}

TEST_F(Popup, ForwardsEveryMouseMessageAndNothingElse) {
    MouseRecorder recorder;
    recorder.popup = &popup;
    popup.SetNotifyTarget(recorder.Window(), kNotifyMessage);

    const UINT forwarded[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_RBUTTONDBLCLK,
                              WM_MOUSEWHEEL};
    for (const UINT message : forwarded) {
        EXPECT_EQ(SendMessageA(popup.Window(), message, MK_LBUTTON, MAKELPARAM(5, 7)), 0);
    }
    SendMessageA(popup.Window(), 0x20B, 0, 0);  // beyond the range: an extra mouse button
    SendMessageA(popup.Window(), WM_KEYDOWN, VK_SPACE, 0);

    ASSERT_EQ(recorder.events.size(), std::size(forwarded));
    for (std::size_t i = 0; i < recorder.events.size(); ++i) {
        const auto& event = recorder.events[i];
        EXPECT_EQ(event.wParam, reinterpret_cast<WPARAM>(&popup));
        EXPECT_EQ(event.record.hwnd, popup.Window());
        EXPECT_EQ(event.record.message, forwarded[i]);
        EXPECT_EQ(event.record.wParam, static_cast<WPARAM>(MK_LBUTTON));
        EXPECT_EQ(event.record.lParam, MAKELPARAM(5, 7));
        EXPECT_EQ(event.record.time, 0u);
        EXPECT_TRUE(event.own);
    }

    // The same message from anyone else is not the popup's.
    MSG forged{};
    EXPECT_FALSE(popup.IsOwnMouseEvent(reinterpret_cast<WPARAM>(&popup), reinterpret_cast<LPARAM>(&forged)));
}

}  // namespace
