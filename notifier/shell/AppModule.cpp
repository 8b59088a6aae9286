#include "notifier/shell/AppModule.h"

#include "notifier/shell/CommandVerbs.h"

AppModule::AppModule()
    : loginPrompt_(GetModuleHandleA(nullptr)),
      mainWindow_(MainWindow::Effects{trayShell_, urlOpener_, sound_, loginPrompt_}) {}

void AppModule::RunNotifier(HINSTANCE instance) {
    if (com_.Failed() || !mainWindow_.CanCheck()) return;
    if (!ParseServerVerbs(GetCommandLineA())) return;
    // Without its window the notifier has nothing to wait for.
    if (mainWindow_.Create(instance) == nullptr) return;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
