// What the setup does through COM: shell links and the self-registration of COM servers.
#pragma once

#include <string>

// Initialises COM on this thread at its first use, for shell links, self-registration and the
// shell's start of a command; it is uninitialised when the program ends. A setup that needs
// none of them does not pay for loading COM.
void UseComApartment();

// Writes a shell link at shortcutPath that points at target.
bool CreateShortcut(const std::string& shortcutPath, const std::string& target);

// Calls the file's DllRegisterServer (or DllUnregisterServer); false when the file does not
// load or lacks the entry point.
bool CallSelfRegistration(const std::string& path, bool doRegister);
