// The sliding new-mail popup: a borderless top-most tool window above the notification
// area that shows one line of text over a background picture for a while. Its sizes are
// logical pixels, scaled to the primary monitor's DPI when it is shown.
#pragma once

#include <windows.h>

#include <string>

#include "common/HandleOwners.h"
#include "notifier/ui/WindowRouting.h"

// A mouse message of the popup as forwarded to the notify window (the layout of MSG:
// window, message, wParam, lParam; time and point zero).
using PopupMouseEvent = MSG;

class PopupWindow {
public:
    static constexpr UINT_PTR TIMER_POPUP_HIDE = 1;
    static constexpr DWORD kSlideMs = 250;
    // Distance from the work area's bottom-right corner.
    static constexpr int kMargin = 4;
    // Where the text goes: the part of the picture right of the logo.
    static constexpr RECT kTextRect = {63, 2, 223, 28};

    PopupWindow() = default;
    PopupWindow(const PopupWindow&) = delete;
    PopupWindow& operator=(const PopupWindow&) = delete;
    ~PopupWindow();

    // Creates the hidden window; false on failure.
    bool Create(HINSTANCE instance);
    void Destroy();

    // Every mouse message is sent to window as message, with wParam this object and
    // lParam the address of a PopupMouseEvent.
    void SetNotifyTarget(HWND window, UINT message);
    // True for the wParam and lParam of a mouse event this popup is sending right now.
    bool IsOwnMouseEvent(WPARAM wParam, LPARAM lParam) const;

    // Places the popup in the work area's bottom-right corner and slides it in with text
    // (null: the previous text) for displayMs; a visible popup takes the new text and
    // stays displayMs from now. The text is also the window's text, its accessible name,
    // and screen readers are told. Without animations it appears at once.
    void ShowPopup(DWORD displayMs, const char* text);
    // Slides the window in or out (shows or hides it at once without animations).
    void AnimatePopup(bool show);
    // Hides at once, without sliding, and forgets the pending slide-out.
    void HideNow();

    HWND Window() const { return window_; }
    const std::string& Text() const { return text_; }
    // The DPI the popup was last laid out for.
    int Dpi() const { return dpi_; }

private:
    template <typename Owner>
    friend LRESULT CALLBACK RouteToOwner(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void LoadBackground(HINSTANCE instance);
    // Size, picture and font for dpi.
    void LayOut(int dpi);
    void EraseBackground(HDC dc) const;
    void DrawTextOn(HDC dc) const;
    void ForwardMouse(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    HINSTANCE instance_ = nullptr;
    std::string text_;
    // The picture at 96 DPI, and its size in logical pixels; the documented size stands in
    // when it cannot be loaded.
    BitmapHandle background_;
    int logicalWidth_ = 226;
    int logicalHeight_ = 30;
    // Laid out for dpi_ (0 until the first layout): the window's size, the picture drawn for
    // the nearest larger scale (none at 96 DPI: background_), and the GUI font at that DPI
    // (none at the system's DPI: the stock font, which a system DPI other than 96 makes larger).
    int dpi_ = 0;
    int width_ = 226;
    int height_ = 30;
    BitmapHandle scaledBackground_;
    UniqueHandle<handle_traits::NullIsNone<HFONT, handle_traits::DeleteGdiObject>> scaledFont_;
    HWND notifyWindow_ = nullptr;
    UINT notifyMessage_ = 0;
    // The event being sent, so that the receiver can tell it from a forged message.
    const PopupMouseEvent* inFlight_ = nullptr;
};
