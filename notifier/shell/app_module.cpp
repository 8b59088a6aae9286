#include "notifier/shell/app_module.h"

#include <objbase.h>

#include "notifier/settings/autostart.h"
#include "notifier/shell/command_verbs.h"

namespace {

// After closing a running notifier, "Stop" gives it this long to end its process.
constexpr DWORD kStopGraceMs = 1500;

void StopRunningNotifier() {
    const HWND running = FindWindowA(MainWindow::kClassName, nullptr);
    if (running == nullptr) return;
    SendMessageA(running, WM_CLOSE, 0, 0);
    Sleep(kStopGraceMs);
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
