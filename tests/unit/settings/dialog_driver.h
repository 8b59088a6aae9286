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

// Calls run() on this thread; once run() has shown a dialog, calls script(dialog) on a
// driver thread. A script that leaves the dialog open fails the test and the dialog is
// cancelled. Returns run()'s result.
INT_PTR RunDriven(const std::function<INT_PTR()>& run, const std::function<void(HWND dialog)>& script);

// The visible dialog window ("#32770") of thread, owned by owner; nullptr after timeoutMs.
HWND WaitForDialog(DWORD thread, HWND owner, DWORD timeoutMs = 10000);

// Types text into a control, one WM_CHAR per byte, at the caret (placed at the end first).
void Type(HWND dialog, int id, const std::string& text);
// Deletes the character before the caret (the caret at the end).
void Backspace(HWND dialog, int id);
void SetText(HWND dialog, int id, const std::string& text);
std::string Text(HWND window);
std::string Text(HWND dialog, int id);
// Clicks a button and returns once its command has been handled.
void Click(HWND dialog, int id);
// Clicks a button without waiting, for a button that opens a modal window.
void ClickLater(HWND dialog, int id);
bool Checked(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
LONG Style(HWND dialog, int id);
// The window that has the keyboard focus on the dialog's thread.
HWND FocusedControl(HWND dialog);

// The text of every control, in the template's order.
std::vector<std::string> ControlTexts(HWND dialog);
// Whether the control's text, drawn in the dialog's font on one line, fits inside it (a
// check box or radio button keeps room for its box).
::testing::AssertionResult TextFits(HWND control);
// TextFits for every control of the dialog that shows text.
::testing::AssertionResult AllTextsFit(HWND dialog);
// The face name of the dialog's font, as the template asks for it.
std::string FontFace(HWND dialog);

}  // namespace test
