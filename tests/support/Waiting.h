// Waiting for something to happen while dispatching the waiting thread's messages.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <utility>

namespace test {

// Polls done() until it is true or timeoutMs have passed, dispatching the thread's messages
// meanwhile (the test's own windows go on working); done()'s last answer.
inline bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (done()) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeoutMs - elapsed, 20), QS_ALLINPUT);
    }
}

inline void PumpFor(DWORD milliseconds) {
    WaitFor([] { return false; }, milliseconds);
}

// A message-only window; handle(message, wParam, lParam) returns true for the messages it took.
class MessageWindow {
public:
    using Handler = std::function<bool(UINT, WPARAM, LPARAM)>;
    explicit MessageWindow(Handler handle) : handle_(std::move(handle)) {
        static const ATOM windowClass = [] {
            WNDCLASSA registered{};
            registered.lpfnWndProc = Procedure;
            registered.lpszClassName = "MewlarkTestMessageWindow";
            return RegisterClassA(&registered);
        }();
        window_ = CreateWindowA(MAKEINTATOM(windowClass), nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~MessageWindow() { DestroyWindow(window_); }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    HWND Handle() const { return window_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self != nullptr && self->handle_(message, wParam, lParam)) return 0;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    Handler handle_;
    HWND window_ = nullptr;
};

}  // namespace test
