#include "notifier/service/form_encode.h"

namespace {

bool IsKeptAsIs(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
        case '!': case '$': case '\'': case '*': case '-': case '.': case '@': return true;
        default: return false;
    }
}

void AppendField(std::string& body, const char* name, std::string_view value) {
    std::string encoded;
    FormUrlEncode(value, encoded);
    if (!body.empty()) body += '&';
    body += name;
    body += '=';
    body += encoded;
}

}  // namespace

void FormUrlEncode(std::string_view text, std::string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    out.clear();
    out.reserve(text.size() * 3);
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

std::string BuildLoginBody(std::string_view successUrl, std::string_view site,
                           std::string_view userId, std::string_view password) {
    std::string body;
    AppendField(body, "success", successUrl);
    AppendField(body, "site", site);
    AppendField(body, "auto", "1");
    AppendField(body, "uname", userId);
    AppendField(body, "pass", password);
    return body;
}
