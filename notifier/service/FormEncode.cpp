#include "notifier/service/FormEncode.h"

#include <utility>

namespace {

bool IsKeptAsIs(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
        case '!': case '$': case '\'': case '*': case '-': case '.': case '@': return true;
        default: return false;
    }
}

// The length of text once encoded.
std::size_t EncodedLength(std::string_view text) {
    std::size_t length = 0;
    for (const char ch : text) length += (ch == ' ' || IsKeptAsIs(static_cast<unsigned char>(ch))) ? 1 : 3;
    return length;
}

void AppendEncoded(std::string_view text, std::string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ') {
            out += '+';
        } else if (IsKeptAsIs(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
}

}  // namespace

void FormUrlEncode(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(EncodedLength(text));
    AppendEncoded(text, out);
}

std::string BuildLoginBody(std::string_view successUrl, std::string_view site,
                           std::string_view userId, std::string_view password) {
    const std::pair<std::string_view, std::string_view> fields[] = {
        {"success", successUrl}, {"site", site}, {"auto", "1"}, {"uname", userId}, {"pass", password}};
    // The body is made in one block of its final size: no copy of the password is left behind
    // in memory the string gave up while growing.
    std::size_t length = 0;
    for (const auto& [name, value] : fields) length += name.size() + 2 + EncodedLength(value);
    std::string body;
    body.reserve(length);
    for (const auto& [name, value] : fields) {
        if (!body.empty()) body += '&';
        body += name;
        body += '=';
        AppendEncoded(value, body);
    }
    return body;
}
