#include "tests/unit/settings/dialog_driver.h"

#include <gtest/gtest.h>

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
    if (std::string(className) == "#32770" && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == search->owner) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
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

void Backspace(HWND dialog, int id) { Type(dialog, id, "\b"); }

void SetText(HWND dialog, int id, const std::string& text) {
    SendMessageA(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Text(HWND window) {
    const int length = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied =
        static_cast<int>(SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::string Text(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void ClickLater(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool Checked(HWND dialog, int id) { return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

LONG Style(HWND dialog, int id) { return GetWindowLongA(GetDlgItem(dialog, id), GWL_STYLE); }

HWND FocusedControl(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

std::vector<std::string> ControlTexts(HWND dialog) {
    std::vector<std::string> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        texts.push_back(Text(child));
    }
    return texts;
}

::testing::AssertionResult TextFits(HWND control) {
    const std::string text = Text(control);
    char className[16] = {};
    GetClassNameA(control, className, sizeof className);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const std::string kind = className;
    if (text.empty() || (kind == "Static" && (style & SS_TYPEMASK) == SS_ICON) || kind == "Edit") {
        return ::testing::AssertionSuccess();
    }
    const HDC dc = GetDC(control);
    const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &needed, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, oldFont);
    ReleaseDC(control, dc);

    RECT client{};
    GetClientRect(control, &client);
    LONG room = client.right;
    const LONG buttonType = style & BS_TYPEMASK;
    if (kind == "Button" && (buttonType == BS_AUTOCHECKBOX || buttonType == BS_AUTORADIOBUTTON ||
                             buttonType == BS_CHECKBOX || buttonType == BS_RADIOBUTTON)) {
        room -= GetSystemMetrics(SM_CXMENUCHECK) + 4;  // the box and the gap after it
    } else if (kind == "Button" && buttonType == BS_GROUPBOX) {
        room -= 16;  // the frame's corner before the caption
    } else if (kind == "Button") {
        room -= 4;  // the push button's edges
    }
    if (needed.right <= room && needed.bottom <= client.bottom) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "control " << GetDlgCtrlID(control) << " needs " << needed.right << " x "
                                         << needed.bottom << " pixels for its text, has " << room << " x "
                                         << client.bottom;
}

::testing::AssertionResult AllTextsFit(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const ::testing::AssertionResult fits = TextFits(child);
        if (!fits) return fits;
    }
    return ::testing::AssertionSuccess();
}

std::string FontFace(HWND dialog) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfFaceName;
}

}  // namespace test
