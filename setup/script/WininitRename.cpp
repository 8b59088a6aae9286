#include "setup/script/WininitRename.h"

#include <algorithm>

#include "common/Mbcs.h"

void AddRenameToNul(StringList& lines, std::string_view shortPath) {
    const auto sameText = [](std::string_view text) {
        return [text](const std::string& line) { return mbcs::EqualsNoCase(line, text); };
    };
    auto header = std::find_if(lines.begin(), lines.end(), sameText("[Rename]"));
    if (header == lines.end()) header = lines.insert(lines.end(), "[Rename]");

    const std::string entry = "Nul=" + std::string(shortPath);
    if (std::none_of(lines.begin(), lines.end(), sameText(entry))) lines.insert(header + 1, entry);
}
