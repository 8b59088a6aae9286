// The notifier's entry under the current user's Run key, which starts it at log-on.
#pragma once

// Enable: value "Mewlark.exe" = the quoted full path of Mewlark.exe in the running program's
// folder. Disable: the value is removed; a missing value is no error. Failures are ignored.
void WriteAutoStartEntry(bool enable);
