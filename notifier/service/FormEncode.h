// Form encoding of the login fields and the login request body.
#pragma once

#include <string>
#include <string_view>

// Replaces out with text encoded byte by byte: blank as "+", letters, digits and
// ! $ ' * - . @ as they are, every other byte as "%" and two upper-case hex digits.
void FormUrlEncode(std::string_view text, std::string& out);

// "success=%s&site=%s&auto=%s&uname=%s&pass=%s" with every value encoded.
std::string BuildLoginBody(std::string_view successUrl, std::string_view site,
                           std::string_view userId, std::string_view password);
