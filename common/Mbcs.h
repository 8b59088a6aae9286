// Byte strings in the system code page: lead-byte aware scanning and comparison.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mbcs {

// True when c starts a double-byte character in the system code page.
// Windows asks the system; the native build knows code page 932.
bool IsLeadByte(unsigned char c);

// Length in bytes of the character at text[pos] (1 or 2; 1 at a truncated tail).
std::size_t CharLength(std::string_view text, std::size_t pos);

// Position of the first single-byte character ch at or after from, never a trail byte.
std::size_t FindChar(std::string_view text, char ch, std::size_t from = 0);

// Position of the last single-byte character ch, never a trail byte.
std::size_t FindLastChar(std::string_view text, char ch);

// ASCII letters folded; double-byte characters compared as they are.
bool EqualsNoCase(std::string_view a, std::string_view b);

// ASCII letters lower-cased; double-byte characters kept.
std::string ToLower(std::string_view text);

// Longest prefix of text of at most maxBytes bytes that does not end inside a character.
std::size_t SafePrefixLength(std::string_view text, std::size_t maxBytes);

}  // namespace mbcs
