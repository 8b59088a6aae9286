// Routes the messages of a window or dialog to the C++ object that owns it, and registers the
// window classes of such objects.
#pragma once

#include <windows.h>

// A window procedure for Owner, whose object is passed as the creation parameter. Owner must
// have a window_ handle member and HandleMessage(UINT, WPARAM, LPARAM), and befriend this
// function. The object learns its handle at WM_NCCREATE and forgets it at WM_NCDESTROY;
// messages before the first and after the last go to the default procedure.
template <typename Owner>
LRESULT CALLBACK RouteToOwner(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Owner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

// A dialog procedure for Owner, whose object is the dialog's init parameter
// (DialogBoxParamA). Owner must have a window_ handle member and
// HandleDialogMessage(UINT, WPARAM, LPARAM) returning TRUE for a message it handled, and
// befriend this function. The object learns its handle at WM_INITDIALOG, before it handles
// that message, and forgets it when the dialog is destroyed.
template <typename Owner>
INT_PTR CALLBACK RouteDialogToOwner(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        reinterpret_cast<Owner*>(lParam)->window_ = dialog;
    }
    auto* self = reinterpret_cast<Owner*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (self == nullptr) return FALSE;
    const INT_PTR handled = self->HandleDialogMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(dialog, DWLP_USER, 0);
        self->window_ = nullptr;
    }
    return handled;
}

// Registers a window class of the module with the arrow cursor, no icon and no class menu,
// once: a class that is registered already counts as registered. False on failure.
inline bool RegisterWindowClass(HINSTANCE instance, const char* className, WNDPROC procedure, int backgroundColor) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(instance, className, &existing)) return true;
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(backgroundColor + 1));
    windowClass.lpszClassName = className;
    return RegisterClassExA(&windowClass) != 0;
}
