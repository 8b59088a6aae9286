#include "notifier/ui/PopupWindow.h"

#include "notifier/res/Resource.h"

namespace {

const char kPopupClass[] = "SIMPLEPOPUPCLASS";

}  // namespace

PopupWindow::~PopupWindow() { Destroy(); }

bool PopupWindow::Create(HINSTANCE instance) {
    if (window_ != nullptr) return true;
    if (!RegisterWindowClass(instance, kPopupClass, RouteToOwner<PopupWindow>, COLOR_INFOBK)) return false;
    CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kPopupClass, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    return window_ != nullptr;
}

void PopupWindow::Destroy() {
    if (window_ != nullptr) DestroyWindow(window_);
}

void PopupWindow::SetNotifyTarget(HWND window, UINT message) {
    notifyWindow_ = window;
    notifyMessage_ = message;
}

bool PopupWindow::IsOwnMouseEvent(WPARAM wParam, LPARAM lParam) const {
    return inFlight_ != nullptr && wParam == reinterpret_cast<WPARAM>(this) &&
           lParam == reinterpret_cast<LPARAM>(inFlight_);
}

void PopupWindow::ShowPopup(DWORD displayMs, const char* text) {
    if (text != nullptr) text_ = text;
    if (window_ == nullptr) return;
    RECT workArea{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    const int x = workArea.right - width_ - kMargin;
    const int y = workArea.bottom - height_ - kMargin;
    SetWindowPos(window_, HWND_TOP, x, y, width_, height_, SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, TRUE);
    if (!AnimateWindow(window_, kSlideMs, AW_SLIDE | AW_VER_NEGATIVE)) ShowWindow(window_, SW_SHOWNOACTIVATE);
    SetTimer(window_, TIMER_POPUP_HIDE, displayMs, nullptr);
}

void PopupWindow::AnimatePopup(bool show) {
    if (window_ == nullptr) return;
    const DWORD flags = show ? AW_SLIDE | AW_VER_NEGATIVE : AW_HIDE | AW_SLIDE | AW_VER_POSITIVE;
    if (!AnimateWindow(window_, kSlideMs, flags)) ShowWindow(window_, show ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void PopupWindow::HideNow() {
    if (window_ == nullptr) return;
    KillTimer(window_, TIMER_POPUP_HIDE);
    ShowWindow(window_, SW_HIDE);
}

LRESULT PopupWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSEWHEEL) {
        ForwardMouse(message, wParam, lParam);
        return 0;
    }
    switch (message) {
        case WM_CREATE:
            LoadBackground(reinterpret_cast<CREATESTRUCTA*>(lParam)->hInstance);
            return 0;
        case WM_ERASEBKGND:
            if (!background_) break;
            EraseBackground(reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window_, &paint);
            DrawTextOn(dc);
            EndPaint(window_, &paint);
            return 0;
        }
        case WM_PRINTCLIENT:
            DrawTextOn(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_TIMER:
            if (wParam != TIMER_POPUP_HIDE) break;
            AnimatePopup(false);
            KillTimer(window_, TIMER_POPUP_HIDE);
            return 0;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

void PopupWindow::LoadBackground(HINSTANCE instance) {
    background_.Reset(static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(IDB_POPUP), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info{};
    if (background_ && GetObjectA(background_.Get(), sizeof(info), &info) == sizeof(info)) {
        width_ = info.bmWidth;
        height_ = info.bmHeight;
    }
}

void PopupWindow::EraseBackground(HDC dc) const {
    const DcHandle source(CreateCompatibleDC(dc));
    if (!source) return;
    const SelectedObject picture(source.Get(), background_.Get());
    BitBlt(dc, 0, 0, width_, height_, source.Get(), 0, 0, SRCCOPY);
}

void PopupWindow::DrawTextOn(HDC dc) const {
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    SetBkColor(dc, GetSysColor(COLOR_INFOBK));
    const HGDIOBJ previousFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT rect = kTextRect;
    const int previousMode = SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text_.c_str(), static_cast<int>(text_.size()), &rect, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    SetBkMode(dc, previousMode);
    SelectObject(dc, previousFont);
}

void PopupWindow::ForwardMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    if (notifyWindow_ == nullptr) return;
    PopupMouseEvent event{};
    event.hwnd = window_;
    event.message = message;
    event.wParam = wParam;
    event.lParam = lParam;
    const PopupMouseEvent* outer = inFlight_;
    inFlight_ = &event;
    SendMessageA(notifyWindow_, notifyMessage_, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(&event));
    inFlight_ = outer;
}
