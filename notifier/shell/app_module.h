// The process-wide module of the notifier: COM for the UI thread, the main window with
// its parts, and the process's start-up steps.
#pragma once

#include <windows.h>

#include "notifier/shell/main_window.h"
#include "notifier/shell/shell_effects.h"
#include "notifier/ui/tray_icon.h"

// COM's single-threaded apartment for the constructing thread, for the owner's lifetime.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Failed() const { return failed_; }

private:
    bool failed_;
};

class AppModule {
public:
    AppModule();
    AppModule(const AppModule&) = delete;
    AppModule& operator=(const AppModule&) = delete;

    // Creates the main window and runs the message loop until it is destroyed. Returns at
    // once when COM failed, a "RegServer" or "UnregServer" verb was given or the window
    // cannot be created.
    void RunNotifier(HINSTANCE instance);

private:
    ComApartment com_;
    SystemTrayShell trayShell_;
    ShellUrlOpener urlOpener_;
    ConfiguredSound sound_;
    ModalLoginPrompt loginPrompt_;
    MainWindow mainWindow_;  // destroyed before COM ends
};

// Acts on "Stop", "UnsetAutoStart" or "SetAutoStart" in the command line after the
// program name; true when one was acted on and the process is to end.
bool HandleCommandVerbs(const char* commandLine);

// The named mutex that keeps to one notifier; held until destroyed.
class SingleInstanceMutex {
public:
    SingleInstanceMutex() = default;
    ~SingleInstanceMutex();
    SingleInstanceMutex(const SingleInstanceMutex&) = delete;
    SingleInstanceMutex& operator=(const SingleInstanceMutex&) = delete;

    // True when this process created the mutex; false when it exists already or cannot
    // be created.
    bool Acquire();

private:
    HANDLE mutex_ = nullptr;
};
