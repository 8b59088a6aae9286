#include "notifier/service/UrlParts.h"

namespace {

constexpr std::size_t kMaxHost = 256;
constexpr std::size_t kMaxUserName = 128;
constexpr std::size_t kMaxPassword = 128;
constexpr std::size_t kMaxPath = 2048;

bool ParsePort(std::string_view text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

bool SplitUrl(std::string_view url, UrlParts& parts) {
    parts = UrlParts{};
    const std::size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0) return false;
    for (const char c : url.substr(0, schemeEnd)) {
        parts.scheme += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }

    std::string_view rest = url.substr(schemeEnd + 3);
    const std::size_t pathStart = rest.find('/');
    std::string_view authority = rest.substr(0, pathStart);
    parts.path = pathStart == std::string_view::npos ? "/" : std::string(rest.substr(pathStart));

    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view credentials = authority.substr(0, at);
        const std::size_t colon = credentials.find(':');
        parts.userName = credentials.substr(0, colon);
        if (colon != std::string_view::npos) parts.password = credentials.substr(colon + 1);
        authority = authority.substr(at + 1);
    }

    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
        if (!ParsePort(authority.substr(colon + 1), parts.port)) return false;
        authority = authority.substr(0, colon);
    } else if (parts.scheme == "https") {
        parts.port = 443;
    } else if (parts.scheme == "http") {
        parts.port = 80;
    } else {
        return false;
    }
    parts.host = authority;

    return !parts.host.empty() && parts.host.size() <= kMaxHost &&
           parts.userName.size() <= kMaxUserName && parts.password.size() <= kMaxPassword &&
           parts.path.size() <= kMaxPath;
}
