#include "setup/script/PathText.h"

#include "common/Mbcs.h"

namespace {

// Position of the last "\" or ":", npos when there is none.
std::size_t LastSeparator(std::string_view path) {
    const std::size_t backslash = mbcs::FindLastChar(path, '\\');
    const std::size_t colon = mbcs::FindLastChar(path, ':');
    if (backslash == std::string_view::npos) return colon;
    if (colon == std::string_view::npos) return backslash;
    return backslash > colon ? backslash : colon;
}

bool IsDrivePrefix(std::string_view path) { return path.size() >= 2 && path[1] == ':'; }

bool IsSeparator(char c) { return c == '\\' || c == ':'; }

// True when the character that ends just before pos is a single-byte "\" or ":".
bool SeparatorBefore(std::string_view path, std::size_t pos) {
    std::size_t previous = std::string_view::npos;
    for (std::size_t i = 0; i < pos; i += mbcs::CharLength(path, i)) previous = i;
    return previous != std::string_view::npos && previous + 1 == pos && IsSeparator(path[previous]);
}

}  // namespace

std::string FolderOf(std::string_view path) {
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string_view::npos) return std::string();
    // The "\" goes unless it is the first character or follows another separator ("C:\", "\\");
    // a drive's ":" stays.
    const bool keep = separator == 0 || path[separator] == ':' || SeparatorBefore(path, separator);
    return std::string(path.substr(0, keep ? separator + 1 : separator));
}

std::string FileNameOf(std::string_view path) {
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string_view::npos) return std::string(path);
    return std::string(path.substr(separator + 1));
}

bool EndsWithBackslash(std::string_view path) {
    return !path.empty() && mbcs::FindLastChar(path, '\\') == path.size() - 1;
}

std::string WithoutTrailingBackslash(std::string_view path) {
    if (EndsWithBackslash(path)) path.remove_suffix(1);
    return std::string(path);
}

bool IsRootFolder(std::string_view path) {
    const std::string folder = WithoutTrailingBackslash(path);
    if (folder.empty()) return true;
    if (folder.size() == 2 && IsDrivePrefix(folder)) return true;
    if (folder.size() > 2 && folder[0] == '\\' && folder[1] == '\\') {
        // A share root: "\\server\share" has no further "\".
        const std::size_t serverEnd = mbcs::FindChar(folder, '\\', 2);
        return serverEnd == std::string::npos || mbcs::FindChar(folder, '\\', serverEnd + 1) == std::string::npos;
    }
    return false;
}
