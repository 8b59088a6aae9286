#include "notifier/ui/PopupWindow.h"

#include "notifier/res/Resource.h"
#include "notifier/ui/DesktopSettings.h"

namespace {

const char kPopupClass[] = "SIMPLEPOPUPCLASS";

// The picture drawn for the smallest scale at or above dpi (the largest above 200 %).
int PictureFor(int dpi) {
    if (dpi <= 96) return IDB_POPUP;
    return dpi <= 144 ? IDB_POPUP_150 : IDB_POPUP_200;
}

RECT ScaleRect(const RECT& rect, int dpi) {
    return {ScaleForDpi(rect.left, dpi), ScaleForDpi(rect.top, dpi), ScaleForDpi(rect.right, dpi),
            ScaleForDpi(rect.bottom, dpi)};
}

}  // namespace

PopupWindow::~PopupWindow() { Destroy(); }

bool PopupWindow::Create(HINSTANCE instance) {
    if (window_ != nullptr) return true;
    instance_ = instance;
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
    SetWindowTextA(window_, text_.c_str());
    LayOut(PrimaryMonitorDpi());
    RECT workArea{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    const int margin = ScaleForDpi(kMargin, dpi_);
    const int x = workArea.right - width_ - margin;
    const int y = workArea.bottom - height_ - margin;
    SetWindowPos(window_, HWND_TOP, x, y, width_, height_, SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, TRUE);
    if (!ClientAreaAnimation() || !AnimateWindow(window_, kSlideMs, AW_SLIDE | AW_VER_NEGATIVE)) {
        ShowWindow(window_, SW_SHOWNOACTIVATE);
    }
    AnnounceToScreenReaders(window_, text_);
    SetTimer(window_, TIMER_POPUP_HIDE, displayMs, nullptr);
}

void PopupWindow::AnimatePopup(bool show) {
    if (window_ == nullptr) return;
    const DWORD flags = show ? AW_SLIDE | AW_VER_NEGATIVE : AW_HIDE | AW_SLIDE | AW_VER_POSITIVE;
    if (!ClientAreaAnimation() || !AnimateWindow(window_, kSlideMs, flags)) {
        ShowWindow(window_, show ? SW_SHOWNOACTIVATE : SW_HIDE);
    }
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
        logicalWidth_ = info.bmWidth;
        logicalHeight_ = info.bmHeight;
    }
    width_ = logicalWidth_;
    height_ = logicalHeight_;
}

void PopupWindow::LayOut(int dpi) {
    if (dpi == dpi_) return;
    dpi_ = dpi;
    width_ = ScaleForDpi(logicalWidth_, dpi);
    height_ = ScaleForDpi(logicalHeight_, dpi);
    scaledBackground_.Reset();
    if (dpi != kDefaultDpi) {
        scaledBackground_.Reset(static_cast<HBITMAP>(
            LoadImageA(instance_, MAKEINTRESOURCEA(PictureFor(dpi)), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    }
    // The stock GUI font is made for the system's DPI; other DPIs get it scaled.
    scaledFont_.Reset();
    const int systemDpi = SystemDpi();
    LOGFONTA font{};
    if (dpi != systemDpi && GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font) == sizeof(font)) {
        font.lfHeight = MulDiv(font.lfHeight, dpi, systemDpi);
        font.lfWidth = MulDiv(font.lfWidth, dpi, systemDpi);
        scaledFont_.Reset(CreateFontIndirectA(&font));
    }
}

void PopupWindow::EraseBackground(HDC dc) const {
    const DcHandle source(CreateCompatibleDC(dc));
    if (!source) return;
    const HBITMAP shown = scaledBackground_ ? scaledBackground_.Get() : background_.Get();
    const SelectedObject picture(source.Get(), shown);
    BITMAP info{};
    GetObjectA(shown, sizeof(info), &info);
    if (info.bmWidth == width_ && info.bmHeight == height_) {
        BitBlt(dc, 0, 0, width_, height_, source.Get(), 0, 0, SRCCOPY);
        return;
    }
    // A scale between the drawn ones: the nearest larger picture, smoothed to the size.
    const int previousMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, 0, 0, width_, height_, source.Get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SetStretchBltMode(dc, previousMode);
}

void PopupWindow::DrawTextOn(HDC dc) const {
    SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
    SetBkColor(dc, GetSysColor(COLOR_INFOBK));
    const HGDIOBJ font = scaledFont_ ? static_cast<HGDIOBJ>(scaledFont_.Get()) : GetStockObject(DEFAULT_GUI_FONT);
    const HGDIOBJ previousFont = SelectObject(dc, font);
    RECT rect = ScaleRect(kTextRect, dpi_);
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
