#include "tests/unit/settings/dialog_driver.h"

#include <optional>
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

// Room for the text of a control: a check box or radio button keeps room for its box, a
// group box for the frame's corner, a push button for its edges. Edits and icons show no
// text of their own.
std::optional<LONG> TextRoom(HWND control, const RECT& client) {
    char className[16] = {};
    GetClassNameA(control, className, sizeof className);
    const std::string kind = className;
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    if (kind == "Edit" || (kind == "Static" && (style & SS_TYPEMASK) == SS_ICON)) return std::nullopt;
    if (kind != "Button") return client.right;
    switch (style & BS_TYPEMASK) {
        case BS_AUTOCHECKBOX: case BS_AUTORADIOBUTTON: case BS_CHECKBOX: case BS_RADIOBUTTON:
            return client.right - GetSystemMetrics(SM_CXMENUCHECK) - 4;
        case BS_GROUPBOX:
            return client.right - 16;
        default:
            return client.right - 4;
    }
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
    DialogLook look;
    look.caption = Text(dialog);
    const auto font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    LOGFONTA face{};
    GetObjectA(font, sizeof face, &face);
    look.fontFace = face.lfFaceName;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::string text = Text(child);
        look.texts.push_back(text);
        RECT client{};
        GetClientRect(child, &client);
        const std::optional<LONG> room = TextRoom(child, client);
        if (text.empty() || !room) continue;
        const HDC dc = GetDC(child);
        const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)));
        RECT needed{0, 0, 0, 0};
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_SINGLELINE);
        SelectObject(dc, previous);
        ReleaseDC(child, dc);
        if ((needed.right > *room || needed.bottom > client.bottom) && look.textsFit) {
            look.textsFit = ::testing::AssertionFailure() << "control " << GetDlgCtrlID(child) << " needs " << needed.right
                                                         << " x " << needed.bottom << " pixels, has " << *room << " x "
                                                         << client.bottom;
        }
    }
    return look;
}

}  // namespace test
