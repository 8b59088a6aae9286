// Entry of Mewlark.exe.
#include <windows.h>

#include "common/SystemLibraries.h"
#include "notifier/shell/app_module.h"

namespace {

// Before every other static object: AppModule's construction already loads COM.
const DllSearchRestriction dllSearchRestriction __attribute__((init_priority(101)));

// Constructed before the entry runs and destroyed after it returns: COM first, then the
// main window's parts; at the end the check client waits a bounded time for its worker.
AppModule appModule;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    if (HandleCommandVerbs(commandLine)) return 0;
    SingleInstanceMutex mutex;
    if (mutex.Acquire()) appModule.RunNotifier(instance);
    return 0;
}
