#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include "notifier/shell/NetworkChangeWatcher.h"

namespace {

void WINAPI OnAddressChange(PVOID context, PMIB_UNICASTIPADDRESS_ROW, MIB_NOTIFICATION_TYPE type) {
    // A removed address is the network going, not coming back.
    if (type != MibAddInstance && type != MibParameterNotification) return;
    const auto* watcher = static_cast<const NetworkChangeWatcher*>(context);
    watcher->Post();
}

}  // namespace

bool NetworkChangeWatcher::Start(HWND window, UINT message) {
    Stop();
    window_ = window;
    message_ = message;
    // An address that becomes usable after duplicate detection is a parameter change.
    return NotifyUnicastIpAddressChange(AF_UNSPEC, OnAddressChange, this, FALSE, &notification_) == NO_ERROR;
}

void NetworkChangeWatcher::Stop() {
    // Waits for a callback in progress, so that none touches this object afterwards.
    if (notification_ != nullptr) CancelMibChangeNotify2(notification_);
    notification_ = nullptr;
}

void NetworkChangeWatcher::Post() const { PostMessageA(window_, message_, 0, 0); }
