// The tag scanner and the per-file pass "Checking URL Links": one streaming read of an HTML
// file finds its line ends, the boundaries of its tags and comments, reports syntax errors,
// and hands every tag of at most 512 characters to the attribute table while its text is
// still in the buffer, so a page is read once and never held whole.
#pragma once

#include <functional>
#include <string_view>

#include "html/HtmlNode.h"

namespace ts {

class CFile;

// A delimiter out of place: a "<" while a tag is still open, a ">" outside any tag.
enum class StrayDelimiter { NoClosing, NoStarting };

// Called for every tag found, with its record (offsets of "<" and ">", line of "<") and its
// text from "<" to ">"; tooLong when the tag is longer than 512 bytes (the text is then empty).
using TagFound =
    std::function<void(const CHtmlNode::CTag& tag, std::string_view text, bool tooLong)>;
// Called for every stray delimiter, with the line the scanner was on.
using StrayFound = std::function<void(int line, StrayDelimiter stray)>;

// Scans the whole file from its start; false when it could not be read to its length. An open
// tag or comment at the end of the file is dropped silently.
bool ScanTags(CFile& file, const TagFound& onTag, const StrayFound& onStray);

// Reads an HTML page's links into its m_pTags, m_strBase and m_vBases and writes its syntax
// errors to the status report; 1 when the page has syntax errors. Other files are left as
// they are, and so is a page that cannot be read whole.
int ParseLinks(CHtmlNode& page);

}  // namespace ts
