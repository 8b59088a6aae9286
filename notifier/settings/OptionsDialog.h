// The options dialog: whether and which sound announces new mail, and whether announcements
// come as Windows' notifications instead of the popup.
#pragma once

#include <windows.h>

#include "notifier/ui/WindowRouting.h"

class OptionsDialog {
public:
    // Runs the dialog modally without an owner window; OK writes the settings, Cancel
    // writes nothing. IDOK or IDCANCEL; IDCANCEL also when the dialog cannot be created.
    INT_PTR Run(HINSTANCE module);

private:
    template <typename Owner>
    friend INT_PTR CALLBACK RouteDialogToOwner(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void Browse() const;
    void PlayTest() const;
    void OnOk() const;

    HWND window_ = nullptr;
};

// Enables the sound choice and the play test only with the sound on, and the file path
// and its browse button only with a chosen file.
void UpdateOptionControls(HWND dialog);
