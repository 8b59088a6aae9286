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
    if (length > 0) SetWindowTextA(control, std::string(static_cast<std::size_t>(length), ' ').c_str());
}
