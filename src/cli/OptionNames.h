// The command line's names for the settings' codes, shared by the option parser and the
// machine-readable reports, so that a report names a setting as it is typed.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace ts {

using OptionNames = std::map<std::string, int>;

const OptionNames& TargetNames();
const OptionNames& LineEndNames();
// --redirects: the forms of site/RedirectFiles.h.
const OptionNames& RedirectNames();
const OptionNames& WebExtNames();
const OptionNames& ReadOnlyNames();

// The names a value may take, for the parser's check.
std::vector<std::string> Keys(const OptionNames& names);
// The name of a code; the code in digits when it has none.
std::string NameOf(const OptionNames& names, int code);

}  // namespace ts
