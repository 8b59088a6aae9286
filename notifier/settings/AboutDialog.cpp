#include "notifier/settings/AboutDialog.h"

#include <cstdio>
#include <vector>

#include "mewlark_config.h"
#include "notifier/res/Resource.h"

namespace {

std::string FormatVersionLine(unsigned major, unsigned minor, unsigned third, unsigned fourth) {
    char versionText[64];
    std::snprintf(versionText, sizeof versionText, "%u.%u.%u Build %u", major, minor, third, fourth);
    return std::string("version ") + versionText;
}

}  // namespace

std::string VersionLineOfFile(const char* path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size != 0) {
        std::vector<BYTE> block(size);
        VS_FIXEDFILEINFO* info = nullptr;
        UINT infoSize = 0;
        if (GetFileVersionInfoA(path, 0, size, block.data()) &&
            VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &infoSize) && info != nullptr &&
            infoSize >= sizeof(VS_FIXEDFILEINFO)) {
            return FormatVersionLine(HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                                     HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
        }
    }
    return FormatVersionLine(MEWLARK_VERSION_MAJOR, MEWLARK_VERSION_MINOR, MEWLARK_VERSION_PATCH,
                             MEWLARK_VERSION_BUILD);
}

INT_PTR AboutDialog::Run(HINSTANCE module) {
    const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, RouteDialogToOwner<AboutDialog>,
                                           reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR AboutDialog::HandleDialogMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        char path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        // A path cut off at the buffer's end names no file; the fallback line is shown then.
        SetDlgItemTextA(window_, IDC_VERSION, VersionLineOfFile(length != 0 && length < MAX_PATH ? path : "").c_str());
        return TRUE;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(window_, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
