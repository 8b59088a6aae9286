// The notifier's command-line verbs, recognised on byte strings in the system code page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class CommandVerb {
    None,
    Stop,            // close the running notifier
    UnsetAutoStart,  // remove the autostart entry
    SetAutoStart,    // write the autostart entry
};

// Tokens of a command line: runs of "-", "/" and blank separate them (tab does not);
// the trail byte of a double-byte character is never taken for a separator.
std::vector<std::string> SplitVerbTokens(std::string_view commandLine);

// The first token that equals one of the verbs as a whole, ignoring case; None when
// no token does.
CommandVerb FindCommandVerb(std::string_view commandLine);

// False when the full command line holds "RegServer" or "UnregServer" right after a
// "-" or "/" (ignoring case, the word ending at a blank, a tab or the end).
bool ParseServerVerbs(std::string_view fullCommandLine);
