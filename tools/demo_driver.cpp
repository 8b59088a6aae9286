// Drives a running Mewlark from outside for tools/demo.sh on a machine without a display:
// answers its login dialog and waits for what is to be photographed.
//   demo_driver wait-login SECONDS       the login dialog is open
//   demo_driver fill-login USER PASSWORD both fields filled, OK enabled
//   demo_driver press-ok
//   demo_driver wait-popup SECONDS       the new-mail popup is up
//   demo_driver open-menu SECONDS        the tray menu is open
//   demo_driver close-menu
// Exit code 0 when done, 1 when the wait ran out or the window is missing, 2 for bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1;

struct DialogSearch {
    HWND found;
};

BOOL CALLBACK MatchLoginDialog(HWND window, LPARAM parameter) {
    char name[16] = {};
    char caption[64] = {};
    GetClassNameA(window, name, sizeof(name));
    GetWindowTextA(window, caption, sizeof(caption));
    if (std::strcmp(name, "#32770") == 0 && std::strcmp(caption, "Mewlark") == 0 && IsWindowVisible(window)) {
        reinterpret_cast<DialogSearch*>(parameter)->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND LoginDialog() {
    DialogSearch search{nullptr};
    EnumWindows(MatchLoginDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND VisibleWindowOfClass(const char* className) {
    const HWND window = FindWindowA(className, nullptr);
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

template <typename Find>
bool WaitFor(Find find, DWORD seconds) {
    const DWORD start = GetTickCount();
    while (find() == nullptr) {
        if (GetTickCount() - start >= seconds * 1000) return false;
        Sleep(100);
    }
    return true;
}

void SetText(HWND control, const char* text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &result);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string command = argv[1];
    const DWORD seconds = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 30;

    if (command == "wait-login") return WaitFor(LoginDialog, seconds) ? 0 : 1;
    if (command == "wait-popup") return WaitFor([] { return VisibleWindowOfClass("SIMPLEPOPUPCLASS"); }, seconds) ? 0 : 1;

    if (command == "fill-login" && argc == 4) {
        const HWND dialog = LoginDialog();
        if (dialog == nullptr) return 1;
        SetText(GetDlgItem(dialog, 1000), argv[2]);
        SetText(GetDlgItem(dialog, 1001), argv[3]);
        const HWND ok = GetDlgItem(dialog, IDOK);
        return WaitFor([ok] { return IsWindowEnabled(ok) ? ok : nullptr; }, 5) ? 0 : 1;
    }
    if (command == "press-ok") {
        const HWND dialog = LoginDialog();
        if (dialog == nullptr) return 1;
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        return 0;
    }
    if (command == "open-menu" || command == "close-menu") {
        const HWND notifier = FindWindowA("MEWLARKCLASS", nullptr);
        if (notifier == nullptr) return 1;
        if (command == "close-menu") {
            PostMessageA(notifier, WM_CANCELMODE, 0, 0);
            return 0;
        }
        // Where a user would click: the menu opens at the cursor, above it.
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 200, GetSystemMetrics(SM_CYSCREEN) - 60);
        PostMessageA(notifier, WM_TRAY_NOTIFY, 1, WM_RBUTTONUP);
        return WaitFor([] { return VisibleWindowOfClass("#32768"); }, seconds) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: demo_driver wait-login|fill-login|press-ok|wait-popup|open-menu|close-menu ...\n");
    return 2;
}
