#include "notifier/service/SetCookie.h"

namespace {

// Skips separators from pos, returns the following run of non-separators and
// moves pos one character past the end of that run.
std::string_view NextToken(std::string_view text, std::size_t& pos, std::string_view separators) {
    const std::size_t start = text.find_first_not_of(separators, pos);
    if (start == std::string_view::npos) {
        pos = text.size();
        return {};
    }
    std::size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) end = text.size();
    pos = end + 1;
    return text.substr(start, end - start);
}

}  // namespace

void SplitSetCookiePair(std::string_view header, std::string& name, std::string& value) {
    name.clear();
    value.clear();
    std::size_t pos = 0;
    const std::string_view pair = NextToken(header, pos, "; ");
    if (pair.empty()) return;
    std::size_t inPair = 0;
    name = NextToken(pair, inPair, "= ");
    if (inPair < pair.size()) value = NextToken(pair, inPair, "; ");
}
