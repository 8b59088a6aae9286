#include "notifier/settings/DialogText.h"

std::string GetControlText(HWND dialog, int controlId) {
    const HWND control = GetDlgItem(dialog, controlId);
    const int length = GetWindowTextLengthA(control);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(control, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

void WipeString(std::string& text) {
    if (!text.empty()) SecureZeroMemory(text.data(), text.size());
    text.clear();
}

void OverwriteControlText(HWND dialog, int controlId) {
    const HWND control = GetDlgItem(dialog, controlId);
    const int length = GetWindowTextLengthA(control);
    if (length <= 0) return;
    const std::string blanks(static_cast<std::size_t>(length), ' ');
    // Twice: an edit control may keep the text it replaced (Wine 10's does), and the second
    // overwrite writes over that copy in turn.
    SetWindowTextA(control, blanks.c_str());
    SetWindowTextA(control, blanks.c_str());
}
