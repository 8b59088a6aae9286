// The shell folders the setup installs into, resolved once at program start.
#pragma once

#include <string>

// Fills the Programs menu, application-data and program-files folders from the shell's
// registry keys. Raises SetupError with the text of the first folder it cannot find.
void ResolveSpecialDirs();

std::string ProgramsDir();
std::string AppDataDir();
std::string ProgramFilesDir();

// The user's temporary folder without its trailing "\", asked for on each call.
std::string TempDir();
