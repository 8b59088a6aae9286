#include "notifier/settings/OptionsDialog.h"

#include <commdlg.h>

#include <string>

#include "common/Mbcs.h"
#include "notifier/res/Resource.h"
#include "notifier/settings/DialogText.h"
#include "notifier/settings/NotificationSound.h"
#include "notifier/settings/SettingsStore.h"

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
    const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_OPTIONS), nullptr,
                                           RouteDialogToOwner<OptionsDialog>, reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR OptionsDialog::HandleDialogMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        OnInitDialog();
        return TRUE;
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return FALSE;
    switch (LOWORD(wParam)) {
        case IDC_SOUND_ENABLE:
        case IDC_SOUND_DEFAULT:
        case IDC_SOUND_CHOOSE:
            UpdateOptionControls(window_);
            return TRUE;
        case IDC_BROWSE:
            Browse();
            return TRUE;
        case IDC_PLAY_TEST:
            PlayTest();
            return TRUE;
        case IDOK:
            OnOk();
            return TRUE;
        case IDCANCEL:
            EndDialog(window_, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

void OptionsDialog::OnInitDialog() {
    CheckDlgButton(window_, IDC_SOUND_ENABLE, settingsStore.ReadSoundEnable() ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(window_, IDC_SOUND_DEFAULT, IDC_SOUND_CHOOSE,
                     settingsStore.ReadSoundType() == kSoundTypeSystemDefault ? IDC_SOUND_DEFAULT : IDC_SOUND_CHOOSE);
    SetDlgItemTextA(window_, IDC_SOUND_FILE, settingsStore.ReadSoundFile().c_str());
    SendDlgItemMessageA(window_, IDC_SOUND_FILE, EM_LIMITTEXT, kSoundFileLimit, 0);
    CheckDlgButton(window_, IDC_WINDOWS_NOTIFICATION,
                   settingsStore.ReadWindowsNotification() ? BST_CHECKED : BST_UNCHECKED);
    UpdateOptionControls(window_);
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
    settingsStore.WriteWindowsNotification(IsChecked(window_, IDC_WINDOWS_NOTIFICATION));
    EndDialog(window_, IDOK);
}
