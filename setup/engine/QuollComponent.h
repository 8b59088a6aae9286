// The shared Quoll component: installed only when newer than the registered one.
#pragma once

#include <string>

class PinnedFiles;

// The program file of the registered Quoll component; empty when none is registered.
std::string GetRegisteredQuollPath();

// The last dotted part of the file's Japanese FileVersion string (logged as "Build No");
// empty when the file has no such string.
std::string GetFileBuild(const std::string& path);

// Copies and registers the Quoll component when the offered build is newer than the
// registered one, copied from the pinned source. Raises from the copy or the registration
// command.
void InstallQuollComponent(const PinnedFiles& pins, const std::string& source, const std::string& destination);
