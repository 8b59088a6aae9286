// Splitting of the service's absolute endpoint URLs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct UrlParts {
    std::string scheme;
    std::string host;
    std::uint16_t port = 0;
    std::string userName;
    std::string password;
    std::string path;  // the path alone, "/" when the URL names none
    bool IsHttps() const { return scheme == "https"; }
};

// scheme "://" [user [":" password] "@"] host [":" port] [path].
// The port defaults to 80 for "http" and 443 for "https". Returns false for a URL
// without "://", an empty host, a bad port or a part longer than its limit
// (host 256, user name and password 128, path 2048 characters).
bool SplitUrl(std::string_view url, UrlParts& parts);
