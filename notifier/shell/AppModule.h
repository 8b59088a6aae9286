// The process-wide module of the notifier: COM for the UI thread and the main window with its
// parts, constructed before the entry runs and destroyed after it returns.
#pragma once

#include <windows.h>

#include "common/HandleOwners.h"
#include "notifier/shell/MainWindow.h"
#include "notifier/shell/ShellEffects.h"
#include "notifier/ui/TrayIcon.h"

class AppModule {
public:
    AppModule();
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;

    // Creates the main window and runs the message loop until it is destroyed. Returns at
    // once when COM or the check client could not be set up, a "RegServer" or "UnregServer"
    // verb was given or the window cannot be created.
    void RunNotifier(HINSTANCE instance);

private:
    ComApartment com_;
    SystemTrayShell trayShell_;
    ShellUrlOpener urlOpener_;
    ConfiguredSound sound_;
    ModalLoginPrompt loginPrompt_;
    MainWindow mainWindow_;  // destroyed before COM ends
};
