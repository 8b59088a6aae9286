// The about box: the program's icon, name, version and legal notice.
#pragma once

#include <windows.h>

#include "notifier/ui/WindowRouting.h"

#include <string>

class AboutDialog {
public:
    // Runs the box modally without an owner window. IDOK or IDCANCEL; IDCANCEL also when the
    // box cannot be created.
    INT_PTR Run(HINSTANCE module);

private:
    template <typename Owner>
    friend INT_PTR CALLBACK RouteDialogToOwner(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleDialogMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
};

// "version <major>.<minor>.<third> Build <fourth>" from the file version in the file's own
// version resource; a file without a readable one gives the version this program was built as.
std::string VersionLineOfFile(const char* path);
