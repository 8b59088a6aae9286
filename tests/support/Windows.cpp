#include "tests/support/Windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "notifier/res/Resource.h"
#include "tests/support/Waiting.h"

namespace test {

namespace {

bool IsVisibleDialog(HWND window) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof(className));
    return std::strcmp(className, "#32770") == 0 && IsWindowVisible(window);
}

// The first window for which match is true.
struct WindowSearch {
    const std::function<bool(HWND)>* match;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    if (!(*search->match)(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindTopLevel(const std::function<bool(HWND)>& match) {
    WindowSearch search{&match, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

std::string TextOf(HWND window) {
    char text[4096] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &length);
    return std::string(text, std::min<std::size_t>(length, sizeof(text) - 1));
}

void SetText(HWND control, const std::string& text) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                        &result);
}

HWND WaitForBox(DWORD processId, DWORD timeoutMs) {
    HWND box = nullptr;
    WaitFor(
        [&] {
            box = FindTopLevel([&](HWND window) {
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                return owner == processId && IsVisibleDialog(window);
            });
            return box != nullptr;
        },
        timeoutMs);
    return box;
}

SeenBox ReadBox(HWND box) {
    SeenBox seen;
    // A box can be visible before its dialog procedure has put the text in: wait for it.
    WaitFor([&] { return !(seen.text = TextOf(GetDlgItem(box, 0xFFFF))).empty(); }, 5000);
    seen.caption = TextOf(box);
    for (int id = IDOK; id <= IDNO; ++id) {
        const HWND button = GetDlgItem(box, id);
        if (button == nullptr) continue;
        seen.buttons.push_back(id);
        // Wine answers DM_GETDEFID with 1 whatever the box says: the default is the one drawn as such.
        if ((GetWindowLongA(button, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) seen.defaultButton = id;
    }
    return seen;
}

void PressButton(HWND box, int buttonId) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, buttonId)));
    WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 30000);
}

std::vector<SeenBox> AnswerBoxes(DWORD processId, const std::vector<int>& buttons) {
    std::vector<SeenBox> seen;
    for (const int button : buttons) {
        const HWND box = WaitForBox(processId);
        if (box == nullptr) break;
        seen.push_back(ReadBox(box));
        PressButton(box, button);
    }
    return seen;
}

std::vector<SeenBox> AnswerBoxes(const Process& process, const std::vector<int>& buttons) {
    const std::vector<SeenBox> seen = AnswerBoxes(process.Id(), buttons);
    EXPECT_EQ(seen.size(), buttons.size()) << "a box did not come";
    if (!process.Ended()) {
        const HWND extra = WaitForBox(process.Id(), 100);
        ADD_FAILURE() << "the program did not end" << (extra ? ", showing: " + ReadBox(extra).text : std::string());
    }
    return seen;
}

std::vector<SeenBox> AnswerUntilEnd(const Process& process, bool yes) {
    std::vector<SeenBox> seen;
    const DWORD start = GetTickCount();
    while (!process.Ended(0) && GetTickCount() - start < 60000) {
        const HWND box = WaitForBox(process.Id(), 50);
        if (box == nullptr) continue;
        seen.push_back(ReadBox(box));
        const std::vector<int>& buttons = seen.back().buttons;
        const auto has = [&](int id) { return std::find(buttons.begin(), buttons.end(), id) != buttons.end(); };
        PressButton(box, has(IDOK) ? IDOK : has(IDCANCEL) ? IDCANCEL : yes ? IDYES : IDNO);
    }
    EXPECT_TRUE(process.Ended(0)) << "the program did not end";
    return seen;
}

HWND VisibleDialog(const char* caption) {
    return FindTopLevel([&](HWND window) { return IsVisibleDialog(window) && TextOf(window) == caption; });
}

void AnswerLoginDialog(HWND dialog, const std::string& user, const std::string& password, bool save) {
    SetText(dialog, IDC_USERID, user);
    SetText(dialog, IDC_PASSWORD, password);
    const HWND ok = GetDlgItem(dialog, IDOK);
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(ok) != FALSE; }, 5000)) << "OK enabled by both fields";
    if (save) {
        const HWND box = GetDlgItem(dialog, IDC_SAVE_LOGIN);
        PostMessageA(box, BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 5000));
    }
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

HWND WaitForDialog(DWORD thread, HWND owner, DWORD timeoutMs) {
    const std::function<bool(HWND)> match = [&](HWND window) {
        return IsVisibleDialog(window) && GetWindow(window, GW_OWNER) == owner;
    };
    WindowSearch search{&match, nullptr};
    WaitFor([&] { return EnumThreadWindows(thread, MatchWindow, reinterpret_cast<LPARAM>(&search)), search.found; },
            timeoutMs);
    return search.found;
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
        if (!WaitFor([&] { return !IsWindow(dialog); }, 5000)) {
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

}  // namespace test
