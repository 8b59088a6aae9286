// Where the check cycle stands between the main window's messages, with its transitions
// named after the events that cause them.
#pragma once

struct CheckCycleState {
    enum class Pass {
        Idle,        // no pass runs, or its end has been handled
        Running,     // a pass runs; its end is shown
        Superseded,  // a pass runs that began before the login dialog's OK: its end starts a
                     // fresh pass with the new credentials instead of being shown
    };

    Pass pass = Pass::Idle;
    // The end of the running pass announces as a re-fetch does.
    bool manualRefetch = false;
    bool loginDialogOpen = false;
    // The last shown pass could not reach the service: the network's return checks early.
    bool waitingForNetwork = false;
    // A wake-up since the last suspend has been handled.
    bool resumeHandled = false;

    void Started() { pass = Pass::Running; }
    // The running pass has reported: true when its result is to be shown.
    bool Ended() {
        const bool shown = pass != Pass::Superseded;
        pass = Pass::Idle;
        return shown;
    }
    // The login dialog's OK: true when the check with the new credentials can start now; false
    // when a pass still runs, whose end starts it instead.
    bool LoginAccepted() {
        if (pass == Pass::Idle) return true;
        pass = Pass::Superseded;
        return false;
    }
};
