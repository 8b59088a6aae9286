// What a setup program can change in the prefix, taken before and after a run: every file and
// folder of drive C: (files with size and time of last write), and every registry key and value
// below "Software" of HKCU and HKLM and at the roots of both hives.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace test {

// Path of a file, folder, key or value -> what it holds.
using PrefixSnapshot = std::map<std::string, std::string>;

// skipped: folders left out with all they hold (the test's own).
PrefixSnapshot TakeSnapshot(const std::vector<std::string>& skipped);

// "+ path", "- path" and "* path" for what was added, removed or changed.
std::vector<std::string> Changes(const PrefixSnapshot& before, const PrefixSnapshot& after);

}  // namespace test
