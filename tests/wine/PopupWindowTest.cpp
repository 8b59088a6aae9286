// The popup window under Wine: placement, text, the hide timer and the forwarding of mouse
// messages.
#include "notifier/ui/PopupWindow.h"

#include <gtest/gtest.h>
#include <oleacc.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/support/ShownTexts.h"
#include "tests/support/Waiting.h"

namespace {

class Popup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(popup.Create(GetModuleHandleA(nullptr))); }
    bool Visible() const { return IsWindowVisible(popup.Window()) != FALSE; }
    PopupWindow popup;
};

TEST_F(Popup, InsideTheWorkAreasCornerShownForItsTime) {
    // A taskbar on the right: the work area ends earlier, and the popup follows it.
    RECT original{}, placed{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &original, 0);
    RECT narrowed = original;
    narrowed.right -= 60;
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETWORKAREA, 0, &narrowed, 0));
    popup.ShowPopup(300, "first");
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &original, 0);
    ASSERT_TRUE(Visible());
    GetWindowRect(popup.Window(), &placed);
    EXPECT_EQ(std::make_tuple(placed.right, placed.bottom, placed.right - placed.left, placed.bottom - placed.top),
              std::make_tuple(narrowed.right - 4, narrowed.bottom - 4, 226L, 30L));

    // New text while visible restarts the display time; the hide timer ends itself.
    test::PumpFor(150);
    popup.ShowPopup(2000, "second");
    test::PumpFor(600);
    EXPECT_TRUE(Visible()) << "well past the first display time";
    EXPECT_TRUE(test::WaitFor([&] { return !Visible(); }, 5000));
    EXPECT_FALSE(KillTimer(popup.Window(), PopupWindow::TIMER_POPUP_HIDE));
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
    // A forged message names the popup and no record: none is in flight.
    EXPECT_FALSE(popup.IsOwnMouseEvent(reinterpret_cast<WPARAM>(&popup), 0));
}

// Under Wine AnimateWindow shows and hides at once, so the slide is seen in the calls: the
// test program's import of it is pointed at a recorder for the test's time.
using AnimateCall = BOOL(WINAPI*)(HWND, DWORD, DWORD);
AnimateCall realAnimate = nullptr;
std::vector<DWORD> animations;
BOOL WINAPI RecordAnimation(HWND window, DWORD ms, DWORD flags) {
    animations.push_back(flags);
    return realAnimate(window, ms, flags);
}

void PointImportAt(void* from, void* to) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; import->Name != 0; ++import) {
        for (auto* slot = reinterpret_cast<void**>(base + import->FirstThunk); *slot != nullptr; ++slot) {
            if (*slot != from) continue;
            DWORD protection;
            VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
            *slot = to;
            VirtualProtect(slot, sizeof(*slot), protection, &protection);
        }
    }
}

TEST_F(Popup, SlidesInAndOutOnlyWhileTheUserKeepsAnimationsOn) {
    constexpr UINT kGet = 0x1042, kSet = 0x1043;  // SPI_GET/SETCLIENTAREAANIMATION
    BOOL saved = TRUE;
    ASSERT_TRUE(SystemParametersInfoA(kGet, 0, &saved, 0));
    realAnimate = reinterpret_cast<AnimateCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "AnimateWindow")));
    PointImportAt(reinterpret_cast<void*>(realAnimate), reinterpret_cast<void*>(RecordAnimation));
    for (const BOOL animate : {TRUE, FALSE}) {
        SystemParametersInfoA(kSet, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(animate)), 0);
        animations.clear();
        popup.ShowPopup(6000, "text");
        const bool shown = Visible();
        SendMessageA(popup.Window(), WM_TIMER, PopupWindow::TIMER_POPUP_HIDE, 0);
        EXPECT_TRUE(shown && !Visible()) << animate;
        const std::vector<DWORD> slides = {AW_SLIDE | AW_VER_NEGATIVE, AW_HIDE | AW_SLIDE | AW_VER_POSITIVE};
        EXPECT_EQ(animations, animate ? slides : std::vector<DWORD>{}) << animate;
    }
    PointImportAt(reinterpret_cast<void*>(RecordAnimation), reinterpret_cast<void*>(realAnimate));
    SystemParametersInfoA(kSet, 0, reinterpret_cast<void*>(static_cast<INT_PTR>(saved)), 0);
}

// What a screen reader hears: the alert's object, asked for its name.
std::vector<std::string> alerts;
void CALLBACK OnAlert(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    IAccessible* accessible = nullptr;
    VARIANT item;
    BSTR name = nullptr;
    std::string text = "<no name>";
    if (SUCCEEDED(AccessibleObjectFromEvent(window, object, child, &accessible, &item)) &&
        SUCCEEDED(accessible->get_accName(item, &name)) && name != nullptr) {
        char bytes[256] = {};
        WideCharToMultiByte(CP_ACP, 0, name, -1, bytes, sizeof(bytes), nullptr, nullptr);
        text = bytes;
    }
    if (name != nullptr) SysFreeString(name);
    if (accessible != nullptr) accessible->Release();
    alerts.push_back(text);
}

TEST_F(Popup, ShowingRaisesAnAlertThatReadsTheTextAsTheName) {
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, OnAlert, 0, 0,
                                               WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    alerts.clear();
    // The hook runs later, from this thread's queue, and reads the name as it is then.
    popup.ShowPopup(6000, test::shown_texts::NewMailPopup(3).c_str());
    EXPECT_TRUE(test::WaitFor([] { return alerts.size() == 1; }, 5000));
    popup.ShowPopup(6000, test::shown_texts::kNoNewMail.c_str());
    EXPECT_TRUE(test::WaitFor([] { return alerts.size() == 2; }, 5000));
    UnhookWinEvent(hook);
    EXPECT_EQ(alerts, (std::vector<std::string>{test::shown_texts::NewMailPopup(3), test::shown_texts::kNoNewMail}));
}

}  // namespace
