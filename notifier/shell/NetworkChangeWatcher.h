// Tells a window when the machine gains a usable IP address, which is how the network's
// return shows: a cable plugged in, a wireless network joined, a VPN connected.
#pragma once

#include <windows.h>

class NetworkChangeWatcher {
public:
    NetworkChangeWatcher() = default;
    NetworkChangeWatcher(const NetworkChangeWatcher&) = delete;
    NetworkChangeWatcher& operator=(const NetworkChangeWatcher&) = delete;
    ~NetworkChangeWatcher() { Stop(); }

    // Posts message to window, from a system thread, for every address added or changed.
    // False when the system cannot notify; the window then only learns of it by its timer.
    bool Start(HWND window, UINT message);
    // Returns once no notification runs any more.
    void Stop();

    // Posts the message to the window (the notification's callback).
    void Post() const;

private:
    HWND window_ = nullptr;
    UINT message_ = 0;
    HANDLE notification_ = nullptr;  // CancelMibChangeNotify2 ends it
};
