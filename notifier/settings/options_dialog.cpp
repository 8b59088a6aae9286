#include "notifier/settings/options_dialog.h"

#include <commdlg.h>

#include <string>

#include "common/mbcs.h"
#include "notifier/res/resource.h"
#include "notifier/settings/dialog_text.h"
#include "notifier/settings/notification_sound.h"
#include "notifier/settings/settings_store.h"

namespace {

constexpr WPARAM kSoundFileLimit = MAX_PATH;  // bytes; applies to typing and pasting
constexpr DWORD kFileTitleSize = 256;
// One filter pair, double-NUL terminated.
constexpr char kWaveFilter[] = "wavファイル(*.wav)\0*.wav\0";

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

}  // namespace

void UpdateOptionControls(HWND dialog) {
    const bool soundOn = IsChecked(dialog, IDC_SOUND_ENABLE);
    EnableWindow(GetDlgItem(dialog, IDC_SOUND_DEFAULT), soundOn);
    EnableWindow(GetDlgItem(dialog, IDC_SOUND_CHOOSE), soundOn);
    EnableWindow(GetDlgItem(dialog, IDC_PLAY_TEST), soundOn);
    const bool fileOn = soundOn && IsChecked(dialog, IDC_SOUND_CHOOSE);
    EnableWindow(GetDlgItem(dialog, IDC_SOUND_FILE), fileOn);
    EnableWindow(GetDlgItem(dialog, IDC_BROWSE), fileOn);
}

INT_PTR OptionsDialog::Run(HINSTANCE module) {
    const INT_PTR result =
        DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CALLBACK OptionsDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<OptionsDialog*>(lParam)->OnInitDialog(window);
        return TRUE;
    }
    auto* self = reinterpret_cast<OptionsDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr || message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;

    switch (LOWORD(wParam)) {
        case IDC_SOUND_ENABLE:
        case IDC_SOUND_DEFAULT:
        case IDC_SOUND_CHOOSE:
            UpdateOptionControls(window);
            return TRUE;
        case IDC_BROWSE:
            self->Browse();
            return TRUE;
        case IDC_PLAY_TEST:
            self->PlayTest();
            return TRUE;
        case IDOK:
            self->OnOk();
            return TRUE;
        case IDCANCEL:
            EndDialog(window, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

void OptionsDialog::OnInitDialog(HWND window) {
    window_ = window;
    CheckDlgButton(window, IDC_SOUND_ENABLE, settingsStore.ReadSoundEnable() ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(window, IDC_SOUND_DEFAULT, IDC_SOUND_CHOOSE,
                     settingsStore.ReadSoundType() == kSoundTypeSystemDefault ? IDC_SOUND_DEFAULT : IDC_SOUND_CHOOSE);
    SetDlgItemTextA(window, IDC_SOUND_FILE, settingsStore.ReadSoundFile().c_str());
    SendDlgItemMessageA(window, IDC_SOUND_FILE, EM_LIMITTEXT, kSoundFileLimit, 0);
    UpdateOptionControls(window);
}

void OptionsDialog::Browse() const {
    const std::string current = GetControlText(window_, IDC_SOUND_FILE);
    char file[MAX_PATH] = {};
    current.copy(file, mbcs::SafePrefixLength(current, MAX_PATH - 1));
    char fileTitle[kFileTitleSize] = {};

    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = window_;
    request.lpstrFilter = kWaveFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = MAX_PATH;
    request.lpstrFileTitle = fileTitle;
    request.nMaxFileTitle = kFileTitleSize;
    request.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY;
    if (GetOpenFileNameA(&request)) SetDlgItemTextA(window_, IDC_SOUND_FILE, file);
}

void OptionsDialog::PlayTest() const {
    const std::string path = IsChecked(window_, IDC_SOUND_DEFAULT) ? settingsStore.ReadDefaultMailSound()
                                                                    : GetControlText(window_, IDC_SOUND_FILE);
    PlaySoundFile(path);
}

void OptionsDialog::OnOk() const {
    settingsStore.WriteSoundEnable(IsChecked(window_, IDC_SOUND_ENABLE));
    settingsStore.WriteSoundType(IsChecked(window_, IDC_SOUND_DEFAULT) ? kSoundTypeSystemDefault
                                                                       : kSoundTypeChosenFile);
    settingsStore.WriteSoundFile(GetControlText(window_, IDC_SOUND_FILE));
    EndDialog(window_, IDOK);
}
