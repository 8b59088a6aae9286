// Runs a modal dialog on the test's thread while a second thread drives it through window
// messages, as a user would: typing, clicking, reading the controls back.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace test {

// Texts the three dialogs share, in code page 932: "ＭＳ Ｐゴシック" and "キャンセル".
inline const std::string kDialogFontFace = "\x82l\x82r \x82o\x83S\x83V\x83" "b\x83N";
inline const std::string kCancelText = "\x83L\x83\x83\x83\x93\x83Z\x83\x8B";

// Calls run() on this thread; once run() has shown a dialog without owner, calls
// script(dialog) on a driver thread. A script that leaves the dialog open fails the test
// and the dialog is cancelled. Returns run()'s result.
INT_PTR RunDriven(const std::function<INT_PTR()>& run, const std::function<void(HWND dialog)>& script);
// Runs one of the program's dialogs from this program's resources, driven by script.
template <typename Dialog>
INT_PTR Drive(Dialog& dialog, const std::function<void(HWND dialog)>& script) {
    return RunDriven([&] { return dialog.Run(GetModuleHandleA(nullptr)); }, script);
}

// The visible dialog window ("#32770") of thread, owned by owner; nullptr after timeoutMs.
HWND WaitForDialog(DWORD thread, HWND owner, DWORD timeoutMs = 10000);

// Types text into a control, one WM_CHAR per byte ("\b" deletes), at the end of its text.
void Type(HWND dialog, int id, const std::string& text);
void SetText(HWND dialog, int id, const std::string& text);
std::string Text(HWND window);
inline std::string Text(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }
// Clicks a button and returns once its command has been handled.
inline void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
// Clicks a button without waiting, for a button that opens a modal window.
inline void ClickLater(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
inline bool Checked(HWND dialog, int id) { return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
inline bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// What a look at a dialog shows: its caption, the texts of its controls in the template's
// order and the face name of its font (as the template asks for it).
struct DialogLook {
    std::string caption;
    std::vector<std::string> texts;
    std::string fontFace;
};
DialogLook LookAt(HWND dialog);

}  // namespace test
