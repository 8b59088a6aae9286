#include "notifier/ui/TrayRules.h"

#include <cstdio>
#include <cstring>

#include "common/Mbcs.h"

TrayIconIndex ChooseTrayIcon(CheckStatus status, std::int32_t count) {
    switch (status) {
        case CheckStatus::Ok:
            return count > 0 ? IconNewMail : IconIdle;
        case CheckStatus::LoginRequired:
            return IconLoggedOut;
        case CheckStatus::Failed:
        case CheckStatus::ServiceError:
            break;
    }
    return IconError;
}

std::string TrayTipText(CheckStatus status, std::int32_t count) {
    switch (status) {
        case CheckStatus::Ok:
            if (count > 0) {
                char text[80];
                std::snprintf(text, sizeof(text), "tarnメール 新着メールが %d 件あります", static_cast<int>(count));
                return text;
            }
            return "tarnメール 新着メールはありません";
        case CheckStatus::Failed:
        case CheckStatus::ServiceError:
            return "tarnメール 新着メール件数の取得に失敗しました";
        case CheckStatus::LoginRequired:
            return "tarnメール ログインしていません";
    }
    return {};
}

void CopyTrayTip(const std::string& text, char* tip, std::size_t capacity) {
    const std::size_t length = mbcs::SafePrefixLength(text, capacity - 1);
    std::memcpy(tip, text.data(), length);
    tip[length] = '\0';
}
