// What a program can change in the prefix, taken before and after a run: every file and folder
// of drive C: (files with size and time of last write), and every registry value below
// "Software" of HKCU and HKLM and at the roots of both hives.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace test {

// Path of a file, folder ("folder") or value (its type and bytes) -> what it holds.
using PrefixSnapshot = std::map<std::string, std::string>;

// skipped: folders left out with all they hold (the test's own).
PrefixSnapshot TakeSnapshot(const std::vector<std::string>& skipped);

}  // namespace test
