// Text of dialog controls as byte strings in the system code page.
#pragma once

#include <windows.h>

#include <string>

// The whole text of a control, however long.
std::string GetControlText(HWND dialog, int controlId);

// Overwrites the bytes before the string lets them go (for passwords).
void WipeString(std::string& text);

// Overwrites a control's text in place with as many blanks, so that its own buffer no longer
// holds it (for password fields about to go).
void OverwriteControlText(HWND dialog, int controlId);
