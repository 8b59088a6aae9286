// The windows a test looks at and answers: message boxes and dialogs of other processes, and
// the program's own dialogs run on the test's thread while a second thread drives them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/Processes.h"

namespace test {

std::string TextOf(HWND window);
void SetText(HWND control, const std::string& text);

// A message box as the user sees it.
struct SeenBox {
    std::string caption;
    std::string text;
    std::vector<int> buttons;  // ids of the buttons present, of IDOK..IDNO
    int defaultButton = 0;
};
// Answers the process's message boxes or dialogs with the buttons in order, each click waiting
// until its box has gone; the boxes seen (fewer when one did not come). For the test's own
// process, run it on another thread.
std::vector<SeenBox> AnswerBoxes(DWORD processId, const std::vector<int>& buttons);
// The same for a started program, which must then end; a missing box or end fails the test.
std::vector<SeenBox> AnswerBoxes(const Process& process, const std::vector<int>& buttons);

// Waits for the process to end (failing the test when it does not) and returns the captions of
// the visible top-level windows that it, or a process it started, showed meanwhile.
std::vector<std::string> WindowsUntilEnd(const Process& process);

// The visible top-level dialog with this caption, of any process; null when there is none.
HWND VisibleDialog(const char* caption);
// Fills the notifier's open login dialog (of any process) and presses OK, as a user would.
void AnswerLoginDialog(HWND dialog, const std::string& user, const std::string& password, bool save);

// Runs run() on this thread; once it has shown a dialog without owner, calls script(dialog)
// on a driver thread. A script that leaves the dialog open fails the test.
INT_PTR RunDriven(const std::function<INT_PTR()>& run, const std::function<void(HWND dialog)>& script);
template <typename Dialog>
INT_PTR Drive(Dialog& dialog, const std::function<void(HWND dialog)>& script) {
    return RunDriven([&] { return dialog.Run(GetModuleHandleA(nullptr)); }, script);
}
// Types text into a control at the end of its text, one WM_CHAR per byte ("\b" deletes).
void Type(HWND dialog, int id, const std::string& text);
inline void SetText(HWND dialog, int id, const std::string& text) { SetText(GetDlgItem(dialog, id), text); }
inline std::string TextOf(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }
// Clicks a button and returns once its command has been handled.
inline void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
// Clicks a button without waiting, for a button that opens a modal window.
inline void ClickLater(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
inline bool Checked(HWND dialog, int id) { return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
inline bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

}  // namespace test
