#include "tests/support/Windows.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <algorithm>
#include <thread>

#include "notifier/res/Resource.h"
#include "tests/support/Waiting.h"

namespace test {

namespace {

// The first visible dialog ("#32770": message boxes too) for which match is true; null when
// none is there after timeoutMs.
HWND WaitForDialog(const std::function<bool(HWND)>& match, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (found = nullptr; (found = FindWindowExA(nullptr, found, "#32770", nullptr)) != nullptr;) {
                if (IsWindowVisible(found) && match(found)) return true;
            }
            return false;
        },
        timeoutMs);
    return found;
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

std::vector<SeenBox> AnswerBoxes(DWORD processId, const std::vector<int>& buttons) {
    std::vector<SeenBox> seen;
    for (const int button : buttons) {
        const auto ofProcess = [&](HWND window) {
            DWORD owner = 0;
            return GetWindowThreadProcessId(window, &owner), owner == processId;
        };
        const HWND box = WaitForDialog(ofProcess, 30000);
        if (box == nullptr) break;
        SeenBox& shown = seen.emplace_back();
        // A box can be visible before its dialog procedure has put the text in: wait for it.
        WaitFor([&] { return !(shown.text = TextOf(GetDlgItem(box, 0xFFFF))).empty(); }, 5000);
        shown.caption = TextOf(box);
        for (int id = IDOK; id <= IDNO; ++id) {
            const HWND control = GetDlgItem(box, id);
            if (control == nullptr) continue;
            shown.buttons.push_back(id);
            // Wine answers DM_GETDEFID with 1 whatever the box says: the default is the one drawn as such.
            if ((GetWindowLongA(control, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON) shown.defaultButton = id;
        }
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
        WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 30000);
    }
    return seen;
}

std::vector<SeenBox> AnswerBoxes(const Process& process, const std::vector<int>& buttons) {
    const std::vector<SeenBox> seen = AnswerBoxes(process.Id(), buttons);
    EXPECT_EQ(seen.size(), buttons.size()) << "a box did not come";
    EXPECT_TRUE(process.Ended()) << "the program did not end";
    return seen;
}

std::vector<std::string> WindowsUntilEnd(const Process& process) {
    std::vector<DWORD> family{process.Id()};  // the process and those it started
    std::vector<std::string> shown;
    const auto inFamily = [&](DWORD id) { return std::find(family.begin(), family.end(), id) != family.end(); };
    const auto look = [&] {
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32 entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
            if (inFamily(entry.th32ParentProcessID) && !inFamily(entry.th32ProcessID)) family.push_back(entry.th32ProcessID);
        }
        CloseHandle(snapshot);
        for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (IsWindowVisible(window) && inFamily(owner)) shown.push_back(TextOf(window));
        }
        return !shown.empty() || process.Ended(0);
    };
    WaitFor(look, 60000);
    EXPECT_TRUE(process.Ended()) << "the program did not end";
    return shown;
}

HWND VisibleDialog(const char* caption) {
    const HWND dialog = FindWindowA("#32770", caption);
    return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
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

INT_PTR RunDriven(const std::function<INT_PTR()>& run, const std::function<void(HWND dialog)>& script) {
    const DWORD uiThread = GetCurrentThreadId();
    std::thread driver([&] {
        const HWND dialog = WaitForDialog(
            [&](HWND window) {
                return GetWindowThreadProcessId(window, nullptr) == uiThread && GetWindow(window, GW_OWNER) == nullptr;
            },
            10000);
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
