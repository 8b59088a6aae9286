// Answers the setup's message boxes and looks at the notifier for tools/package-from-shell.sh,
// which runs the release package the way a user does. Each call ends at once when done, so that
// it holds Wine's desktop no longer than a user's click would.
//   package_driver answer BUTTON SECONDS   presses BUTTON (6 Yes, 1 OK) in the first message
//                                          box of a program other than Mewlark.exe
//   package_driver notifier SECONDS        the notifier's main window and a tray icon are there
// Exit code 0 when so, 1 when not (or the wait ran out), 2 for bad usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct BoxSearch {
    int button;
    HWND found;
};

bool IsNotifiersWindow(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    char image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const bool named = process != nullptr && QueryFullProcessImageNameA(process, 0, image, &size);
    if (process != nullptr) CloseHandle(process);
    const char* name = std::strrchr(image, '\\');
    return named && lstrcmpiA(name != nullptr ? name + 1 : image, "Mewlark.exe") == 0;
}

// A visible message box ("#32770" with its text in a static control of id 0xFFFF) that has
// the button.
BOOL CALLBACK MatchBox(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<BoxSearch*>(parameter);
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    if (std::strcmp(name, "#32770") == 0 && IsWindowVisible(window) && GetDlgItem(window, 0xFFFF) != nullptr &&
        GetDlgItem(window, search->button) != nullptr && !IsNotifiersWindow(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CountTrayIcon(HWND window, LPARAM count) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    *reinterpret_cast<int*>(count) += std::strcmp(name, "__winex11_tray_icon") == 0 || std::strcmp(name, "__wine_tray_icon") == 0;
    return TRUE;
}

// The icons in Wine's tray, one child window each: of its stand-alone tray window under Wine 8,
// of its taskbar under Wine 10.
int TrayIcons() {
    int icons = 0;
    for (const char* tray : {"__winex11_standalone_tray", "Shell_TrayWnd"}) {
        const HWND window = FindWindowA(tray, nullptr);
        if (window != nullptr) EnumChildWindows(window, CountTrayIcon, reinterpret_cast<LPARAM>(&icons));
    }
    return icons;
}

int Answer(int button, DWORD seconds) {
    const DWORD start = GetTickCount();
    BoxSearch search{button, nullptr};
    while (EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search)), search.found == nullptr) {
        if (GetTickCount() - start > seconds * 1000) return 1;
        Sleep(100);
    }
    // Posted: the click is the setup's to handle, after this program has ended.
    PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(search.found, button)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "answer") == 0) {
        return Answer(std::atoi(argv[2]), static_cast<DWORD>(std::atoi(argv[3])));
    }
    if (argc == 3 && std::strcmp(argv[1], "notifier") == 0) {
        const DWORD start = GetTickCount();
        HWND window = nullptr;
        while ((window = FindWindowA("MEWLARKCLASS", nullptr)) == nullptr || TrayIcons() == 0) {
            if (GetTickCount() - start > static_cast<DWORD>(std::atoi(argv[2])) * 1000) break;
            Sleep(100);
        }
        std::printf("main window %p, tray icons %d\n", static_cast<void*>(window), TrayIcons());
        return window != nullptr && TrayIcons() > 0 ? 0 : 1;
    }
    std::fprintf(stderr, "usage: package_driver answer BUTTON SECONDS | notifier SECONDS\n");
    return 2;
}
