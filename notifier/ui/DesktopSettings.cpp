#include "notifier/ui/DesktopSettings.h"

#include <objbase.h>
#include <oleauto.h>

namespace {

// Constants of newer headers than the ones the notifier is built against.
constexpr UINT kSpiGetClientAreaAnimation = 0x1042;  // SPI_GETCLIENTAREAANIMATION
constexpr int kMonitorEffectiveDpi = 0;              // MDT_EFFECTIVE_DPI
constexpr int kIconMetricSmall = 0;                  // LIM_SMALL
constexpr int kIconMetricLarge = 1;                  // LIM_LARGE
constexpr DWORD kEventSystemAlert = 0x0002;          // EVENT_SYSTEM_ALERT
constexpr int kNotificationKindOther = 4;            // NotificationKind_Other
constexpr int kNotificationImportantAll = 0;         // NotificationProcessing_ImportantAll

// A module of the system folder: the one already loaded, else loaded from there by full path.
HMODULE SystemModule(const char* name) {
    if (const HMODULE loaded = GetModuleHandleA(name)) return loaded;
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenA(name) >= MAX_PATH) return nullptr;
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// A function of a system module, null where this Windows has none.
template <typename Function>
Function SystemCall(const char* module, const char* name) {
    const HMODULE handle = SystemModule(module);
    return handle == nullptr ? nullptr
                             : reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

}  // namespace

int SystemDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDefaultDpi;
}

int PrimaryMonitorDpi() {
    using GetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    static const auto forMonitor = SystemCall<GetDpiForMonitor>("shcore.dll", "GetDpiForMonitor");
    UINT x = 0, y = 0;
    if (forMonitor != nullptr &&
        SUCCEEDED(forMonitor(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), kMonitorEffectiveDpi, &x, &y)) &&
        y > 0) {
        return static_cast<int>(y);
    }
    return SystemDpi();
}

HICON LoadShellIcon(HINSTANCE instance, int resourceId, int dpi, IconSize iconSize) {
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    using LoadIconMetric = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*);
    static const auto metricsForDpi = SystemCall<MetricsForDpi>("user32.dll", "GetSystemMetricsForDpi");
    static const auto iconMetric = SystemCall<LoadIconMetric>("comctl32.dll", "LoadIconMetric");
    const bool large = iconSize == IconSize::Large;
    int size = large ? 32 : 16;
    if (metricsForDpi != nullptr) {
        size = metricsForDpi(large ? SM_CXICON : SM_CXSMICON, static_cast<UINT>(dpi));
    } else if (HICON icon = nullptr;
               iconMetric != nullptr &&
               SUCCEEDED(iconMetric(instance, MAKEINTRESOURCEW(resourceId), large ? kIconMetricLarge : kIconMetricSmall, &icon))) {
        return icon;  // the size at the system's DPI
    }
    return static_cast<HICON>(
        LoadImageA(instance, MAKEINTRESOURCEA(resourceId), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

bool BalloonsAllowedByPolicy() {
    static constexpr const char* kPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        DWORD off = 0;
        DWORD size = sizeof off;
        if (RegGetValueA(root, kPolicies, "TaskbarNoNotification", RRF_RT_REG_DWORD, nullptr, &off, &size) ==
                ERROR_SUCCESS &&
            off != 0) {
            return false;
        }
    }
    return true;
}

bool ClientAreaAnimation() {
    BOOL animate = TRUE;
    if (!SystemParametersInfoA(kSpiGetClientAreaAnimation, 0, &animate, 0)) return true;
    return animate != FALSE;
}

void AnnounceToScreenReaders(HWND window, const std::string& text) {
    NotifyWinEvent(kEventSystemAlert, window, OBJID_CLIENT, CHILDID_SELF);

    // UI Automation's notification (Windows 10 1709 on) speaks the text itself, whatever the
    // reader makes of the alert. The window's host provider stands for the popup.
    using HostProvider = HRESULT(WINAPI*)(HWND, IUnknown**);
    using RaiseNotification = HRESULT(WINAPI*)(IUnknown*, int, int, BSTR, BSTR);
    using AllocString = BSTR(WINAPI*)(const OLECHAR*);
    using FreeString = void(WINAPI*)(BSTR);
    static const auto raise = SystemCall<RaiseNotification>("uiautomationcore.dll", "UiaRaiseNotificationEvent");
    if (raise == nullptr) return;
    static const auto hostProvider = SystemCall<HostProvider>("uiautomationcore.dll", "UiaHostProviderFromHwnd");
    static const auto allocString = SystemCall<AllocString>("oleaut32.dll", "SysAllocString");
    static const auto freeString = SystemCall<FreeString>("oleaut32.dll", "SysFreeString");
    if (hostProvider == nullptr || allocString == nullptr || freeString == nullptr) return;
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    IUnknown* provider = nullptr;
    if (FAILED(hostProvider(window, &provider)) || provider == nullptr) return;
    const BSTR display = allocString(wide.c_str());
    const BSTR activity = allocString(L"Mewlark.NewMail");
    if (display != nullptr && activity != nullptr) {
        raise(provider, kNotificationKindOther, kNotificationImportantAll, display, activity);
    }
    freeString(display);
    freeString(activity);
    provider->Release();
}
