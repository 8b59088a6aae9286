// Paths as byte strings of the system code page: "\" is found only where it is a character.
#pragma once

#include <string>
#include <string_view>

// The path without its last element and the separating "\"; a drive root keeps its "\"
// ("C:\a" gives "C:\", "C:\a\b" gives "C:\a"). A path without separator gives "".
std::string FolderOf(std::string_view path);

// The last element of a path (after the last "\" or ":").
std::string FileNameOf(std::string_view path);

// True when the path ends with "\" (no file-name part).
bool EndsWithBackslash(std::string_view path);

// The path without one trailing "\".
std::string WithoutTrailingBackslash(std::string_view path);

// True for a path that names the root of a drive or share, or no folder at all:
// "", "\", "C:", "C:\", "\\server\share", "\\server\share\".
bool IsRootFolder(std::string_view path);
