#include "notifier/shell/ShellEffects.h"

#include <shellapi.h>

#include "notifier/settings/LoginDialog.h"
#include "notifier/settings/NotificationSound.h"

void ShellUrlOpener::Open(const char* url) { ShellExecuteA(nullptr, nullptr, url, nullptr, nullptr, SW_SHOW); }

void ConfiguredSound::Play() { PlayNotificationSound(); }

INT_PTR ModalLoginPrompt::Run(LoginDialog& dialog) { return dialog.Run(instance_); }
