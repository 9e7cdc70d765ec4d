// The string functions of the link engine: escapes in URLs, leading "../" segments of relative
// paths, and references made absolute against a full base URL.
#pragma once

#include <string>
#include <string_view>

namespace ts {

// Removes tabs, CR and LF (a browser's URL parser drops them anywhere), then decodes "%XY" escapes
// from right to left, so that the "%" that "%25" gives is never decoded again. A decoded NUL ends
// the text.
void DecodeUrl(std::string& s);

// The bytes of a URI scheme and its ":" at the very start of written (a letter, then letters,
// digits, "+", "-" or "."), 0 when there is none.
int SchemeLength(std::string_view written);

// Escapes the characters that are reserved or unsafe in a URL, and control characters, as
// "%XY"; "/" is kept.
void EncodeUrl(std::string& s);

// A URL as written, the way a browser sends it: blanks, controls, bytes beyond ASCII and
// "\"<>\\^`{|}" escaped as "%XY"; the escapes already written are kept.
std::string RequestForm(std::string_view written);

// Consumes the leading ".." segments of rel, climbing base (which ends in sep) one directory for
// each but never above the root of an absolute base, then puts what is left of base in front of
// rel; with "/" as sep, the dot segments left anywhere in the result are removed too.
void ResolveDotDot(std::string& rel, std::string base, char sep);

// The reference ref made absolute against the absolute URL base, as browsers do it: absolute
// paths, dot segments and queries follow the rules for URI references. ref has no fragment.
std::string ResolveReference(const std::string& base, const std::string& ref);

}  // namespace ts
