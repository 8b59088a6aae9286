#include "common/Mbcs.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace mbcs {

bool IsLeadByte(unsigned char c) {
#ifdef _WIN32
    return IsDBCSLeadByte(c) != FALSE;
#else
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
#endif
}

std::size_t CharLength(std::string_view text, std::size_t pos) {
    if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos]))) return 2;
    return 1;
}

std::size_t FindChar(std::string_view text, char ch, std::size_t from) {
    for (std::size_t i = from; i < text.size(); i += CharLength(text, i)) {
        if (text[i] == ch) return i;
    }
    return std::string_view::npos;
}

std::size_t FindLastChar(std::string_view text, char ch) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (text[i] == ch) found = i;
    }
    return found;
}

static char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size();) {
        const std::size_t len = CharLength(out, i);
        if (len == 1) out[i] = LowerAscii(out[i]);
        i += len;
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ToLower(a) == ToLower(b);
}

std::size_t SafePrefixLength(std::string_view text, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t len = CharLength(text, i);
        if (i + len > maxBytes) break;
        i += len;
    }
    return i;
}

}  // namespace mbcs
