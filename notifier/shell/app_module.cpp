#include "notifier/shell/app_module.h"

#include <objbase.h>

#include "notifier/settings/autostart.h"
#include "notifier/shell/command_verbs.h"

namespace {

// After closing a running notifier, "Stop" returns no sooner than this.
constexpr DWORD kStopGraceMs = 1500;
// ... and no later than this while the notifier's process ends: beyond the 10 s its check
// client waits for a stalled pass, so that a setup after "Stop" finds its file free.
constexpr DWORD kStopEndWaitMs = 15000;

void StopRunningNotifier() {
    const HWND running = FindWindowA(MainWindow::kClassName, nullptr);
    if (running == nullptr) return;
    DWORD processId = 0;
    GetWindowThreadProcessId(running, &processId);
    // Null when not ours to wait for (another user's, or an elevated one): then only the grace.
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    SendMessageA(running, WM_CLOSE, 0, 0);
    const DWORD closed = GetTickCount();
    if (process != nullptr) {
        WaitForSingleObject(process, kStopEndWaitMs);
        CloseHandle(process);
    }
    const DWORD waited = GetTickCount() - closed;
    if (waited < kStopGraceMs) Sleep(kStopGraceMs - waited);
}

}  // namespace

ComApartment::ComApartment() : failed_(FAILED(CoInitialize(nullptr))) {}

ComApartment::~ComApartment() {
    if (!failed_) CoUninitialize();
}

AppModule::AppModule()
    : loginPrompt_(GetModuleHandleA(nullptr)),
      mainWindow_(MainWindow::Effects{trayShell_, urlOpener_, sound_, loginPrompt_}) {}

void AppModule::RunNotifier(HINSTANCE instance) {
    if (com_.Failed()) return;
    if (!ParseServerVerbs(GetCommandLineA())) return;
    // Without its window the notifier has nothing to wait for.
    if (mainWindow_.Create(instance) == nullptr) return;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool HandleCommandVerbs(const char* commandLine) {
    switch (FindCommandVerb(commandLine != nullptr ? commandLine : "")) {
        case CommandVerb::Stop:
            StopRunningNotifier();
            return true;
        case CommandVerb::UnsetAutoStart:
            WriteAutoStartEntry(false);
            return true;
        case CommandVerb::SetAutoStart:
            WriteAutoStartEntry(true);
            return true;
        case CommandVerb::None:
            break;
    }
    return false;
}

SingleInstanceMutex::~SingleInstanceMutex() {
    if (mutex_ != nullptr) CloseHandle(mutex_);
}

bool SingleInstanceMutex::Acquire() {
    if (mutex_ != nullptr) return true;
    mutex_ = CreateMutexA(nullptr, TRUE, MainWindow::kClassName);
    if (mutex_ == nullptr) return false;
    return GetLastError() != ERROR_ALREADY_EXISTS;
}
