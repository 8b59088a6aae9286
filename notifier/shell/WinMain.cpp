// Entry of Mewlark.exe: the command-line verbs, the single-instance rule, the notifier.
#include <windows.h>

#include "common/HandleOwners.h"
#include "common/SystemLibraries.h"
#include "notifier/settings/AutoStartEntry.h"
#include "notifier/shell/AppModule.h"
#include "notifier/shell/CommandVerbs.h"

namespace {

// Before every other static object: AppModule's construction already loads COM.
const DllSearchRestriction dllSearchRestriction __attribute__((init_priority(101)));

// Constructed before the entry runs and destroyed after it returns: COM first, then the
// main window's parts; at the end the check client waits a bounded time for its worker.
AppModule appModule;

// After closing a running notifier, "Stop" returns no sooner than this.
constexpr DWORD kStopGraceMs = 1500;
// ... and no later than this, from the close on: beyond the 10 s its check client waits for a
// stalled pass, so that a setup after "Stop" finds its file free, and bounded when the notifier
// does not answer.
constexpr DWORD kStopEndWaitMs = 15000;
// How often the window is looked for when the notifier's process cannot be waited for.
constexpr DWORD kStopPollMs = 100;

void StopRunningNotifier() {
    const HWND running = FindWindowA(MainWindow::kClassName, nullptr);
    if (running == nullptr) return;
    DWORD processId = 0;
    GetWindowThreadProcessId(running, &processId);
    // Null when not ours to wait for (another user's, or an elevated one).
    const KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    const ULONGLONG closed = GetTickCount64();
    // The time left of a bound from the close, read once: never wraps below zero.
    const auto left = [closed](DWORD bound) {
        const ULONGLONG elapsed = GetTickCount64() - closed;
        return elapsed < bound ? static_cast<DWORD>(bound - elapsed) : 0;
    };
    DWORD_PTR result = 0;
    // A hung notifier is not waited for; one that handles messages slowly within the bound.
    SendMessageTimeoutA(running, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, kStopEndWaitMs, &result);
    if (process) {
        WaitForSingleObject(process.Get(), left(kStopEndWaitMs));
    } else {
        // Its window goes when its main window is destroyed; the process follows within the grace.
        while (IsWindow(running) && left(kStopEndWaitMs) > 0) Sleep(kStopPollMs);
    }
    Sleep(left(kStopGraceMs));
}

// Acts on "Stop", "UnsetAutoStart" or "SetAutoStart" in the command line after the program
// name; true when one was acted on and the process is to end.
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

// The named mutex that keeps to one notifier, held until the entry returns; empty when another
// notifier holds it or it cannot be created.
KernelHandle AcquireSingleInstanceMutex() {
    KernelHandle mutex(CreateMutexA(nullptr, TRUE, MainWindow::kClassName));
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) mutex.Reset();
    return mutex;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    if (HandleCommandVerbs(commandLine)) return 0;
    const KernelHandle mutex = AcquireSingleInstanceMutex();
    if (mutex) appModule.RunNotifier(instance);
    return 0;
}
