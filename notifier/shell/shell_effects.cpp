#include "notifier/shell/shell_effects.h"

#include <shellapi.h>

#include "notifier/settings/login_dialog.h"
#include "notifier/settings/notification_sound.h"

void ShellUrlOpener::Open(const char* url) { ShellExecuteA(nullptr, nullptr, url, nullptr, nullptr, SW_SHOW); }

void ConfiguredSound::Play() { PlayNotificationSound(); }

INT_PTR ModalLoginPrompt::Run(LoginDialog& dialog) { return dialog.Run(instance_); }
