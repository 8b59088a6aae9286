#include "tests/unit/settings/dialog_driver.h"

#include <thread>

namespace test {

namespace {

struct DialogSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "#32770" || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != search->owner) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

}  // namespace

HWND WaitForDialog(DWORD thread, HWND owner, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        DialogSearch search{owner, nullptr};
        EnumThreadWindows(thread, FindVisibleDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        Sleep(10);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

INT_PTR RunDriven(const std::function<INT_PTR()>& run, const std::function<void(HWND dialog)>& script) {
    const DWORD uiThread = GetCurrentThreadId();
    std::thread driver([&] {
        const HWND dialog = WaitForDialog(uiThread, nullptr);
        if (dialog == nullptr) {
            ADD_FAILURE() << "no dialog appeared";
            return;
        }
        script(dialog);
        // The script's last click ends the dialog; an open dialog after that is a failure.
        const DWORD start = GetTickCount();
        while (IsWindow(dialog) && GetTickCount() - start < 5000) Sleep(10);
        if (IsWindow(dialog)) {
            ADD_FAILURE() << "the dialog is still open after the script";
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
    });
    const INT_PTR result = run();
    driver.join();
    return result;
}

void Type(HWND dialog, int id, const std::string& text) {
    const HWND control = GetDlgItem(dialog, id);
    SendMessageA(control, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF);
    for (const char c : text) SendMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 1);
}

void SetText(HWND dialog, int id, const std::string& text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Text(HWND window) {
    std::string text(static_cast<std::size_t>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

DialogLook LookAt(HWND dialog) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    DialogLook look{Text(dialog), {}, font.lfFaceName};
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        look.texts.push_back(Text(child));
    }
    return look;
}

}  // namespace test
