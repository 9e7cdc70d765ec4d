// Names Windows reserves for devices ("CON", "AUX.TXT", "com1.log"): a file of that name cannot
// be created there, and opening one opens the device instead.
#pragma once

#include <string>
#include <string_view>

namespace ts {

// True when the name's part before its first dot, without trailing blanks and in any case,
// is CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9 (also with a superscript 1, 2 or 3),
// CONIN$ or CONOUT$.
bool IsDeviceName(std::string_view name);

// Makes a device name an ordinary one by a "_" after its part before the first dot ("CON" ->
// "CON_", "AUX.TXT" -> "AUX_.TXT"); within maxLen bytes the "_" takes the place of that part's
// last character instead ("CO_"). Other names are left as they are.
void AvoidDeviceName(std::string& name, int maxLen);

// Windows drops blanks and dots at the end of a name ("a. " is stored as "a"), so a link to
// the name would break: they are removed.
void TrimWindowsEnd(std::string& name);

}  // namespace ts
