// The "[Rename]" section of wininit.ini, through which the Windows 95 family deletes files
// at the next start.
#pragma once

#include <string_view>

#include "setup/script/ScriptText.h"

// Adds "Nul=" + shortPath directly after the "[Rename]" line (appended at the end when
// missing), unless a line equal to it, in any case, is already there.
void AddRenameToNul(StringList& lines, std::string_view shortPath);
