// Plain ASCII forms of UTF-8 names, for file systems whose short names hold nothing else
// (FAT 8.3 names, ISO 9660).
#pragma once

#include <string>
#include <string_view>

namespace ts {

// s with every character of 128 and above replaced: a Latin letter with a diacritic becomes
// its base letter ("é" -> "e", "Ł" -> "L"), the ligatures and letters with no base letter
// become two ("æ" -> "ae", "ß" -> "ss", "þ" -> "th"), combining marks are dropped (a name
// written decomposed, "e" + U+0301, folds like "é"), and any other character, or byte that
// is not valid UTF-8, becomes one "_". ASCII is kept as it is, case included.
std::string ToPlainAscii(std::string_view s);

}  // namespace ts
