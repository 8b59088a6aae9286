// The setup log: one process-wide text file, a line per step, each line written through at once.
#pragma once

#include <string>

#include "setup/script/LogLine.h"

// Names the log file without opening it; a file that is open is closed first.
void BindLog(const std::string& path);

// Deletes what is at the bound name and creates the file anew, open for writing; when the name
// is taken again in between, the log stays closed.
void OpenLog();

// Writes one line with today's date and the current time. Dropped when the file is not
// open; errors of the file are ignored.
void WriteLog(LogLevel level, const std::string& message);
