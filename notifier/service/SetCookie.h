// The first name/value pair of a Set-Cookie header value.
#pragma once

#include <string>
#include <string_view>

// Pair = first token with separators ";" and " "; name = its first token with "=" and " ";
// value = the next token of the pair with ";" and " ". Nothing is trimmed or decoded.
void SplitSetCookiePair(std::string_view header, std::string& name, std::string& value);
