// The tag scanner and the per-file pass "Checking URL Links": one streaming read of an HTML
// file finds its line ends, its tags, comments and the text of its raw-text elements as a
// browser's tokenizer does, reports syntax errors, and hands every tag of at most
// kMaxTagLength bytes to the attribute table while its text is still in the buffer, so a page
// is read once and never held whole. A style sheet is read the same way, all of it style text.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "html/HtmlNode.h"

namespace ts {

class CFile;
class CLineCursor;
struct CPageOutput;

// The longest tag examined, from its "<" to its ">": a longer one is held by no buffer and is
// reported as skipped. Images with long alt texts make tags of some thousand bytes.
constexpr size_t kMaxTagLength = size_t(1) << 20;

// A delimiter out of place, each a sign that the tags after it are not what the page meant:
// NoClosing, a "<" inside a start tag outside a quoted value or the end of the file inside a
// tag; Quote, a quote inside an attribute's name or unquoted value of a start tag (reported
// once per tag), what a value whose closing quote is missing leaves behind. (NoStarting, a ">"
// in text, is valid HTML and no longer reported.)
enum class StrayDelimiter { NoClosing, NoStarting, Quote };

// What a scan finds, in file order.
class CScanEvents {
public:
    virtual ~CScanEvents() = default;
    // A tag, with its record (offsets of "<" and ">", line of "<") and its text from "<" to
    // ">"; tooLong when the tag is longer than kMaxTagLength (the text is then empty). End
    // tags come too, their text beginning "</".
    virtual void Tag(const CHtmlNode::CTag& tag, std::string_view text, bool tooLong) = 0;
    // A stray delimiter, with the line and column of the tag it is in.
    virtual void Stray(int line, int column, StrayDelimiter stray) = 0;
    // The next bytes of a style element's content (or of a whole style sheet) at offset.
    virtual void StyleText(const char*, size_t, uint64_t) {}
    // The style element's content ended.
    virtual void StyleEnd() {}
    // The line of an offset of the tag or style text just handed over, never before one
    // asked earlier.
    int LineOf(uint64_t offset);
    // Its column (from 1, in bytes), under the same rule.
    int ColumnOf(uint64_t offset);

    CLineCursor* m_pLines = nullptr;  // set by the scanner while it runs
};

enum class ScanMode { Page, StyleSheet };

// Scans the whole file from its start; false when it could not be read to its length. A tag
// open at the end of the file is a stray NoClosing; an open comment is dropped silently.
bool ScanTags(CFile& file, CScanEvents& events, ScanMode mode = ScanMode::Page);

using TagFound =
    std::function<void(const CHtmlNode::CTag& tag, std::string_view text, bool tooLong)>;
using StrayFound = std::function<void(int line, int column, StrayDelimiter stray)>;
// The same for a page, with a function for each kind of event.
bool ScanTags(CFile& file, const TagFound& onTag, const StrayFound& onStray);

// Reads a page's or style sheet's links into its link state (html/PageLinks.h) and writes a
// page's syntax errors to the status report; 1 when the page has syntax errors. Other files
// are left as they are, and so is the link state of a file that cannot be read whole, which
// is only marked unreadable.
int ParseLinks(CHtmlNode& page);

// ParseLinks in two steps, for a page read on another thread (html/PagesAhead.h). The first
// touches only the page and puts its lines and findings in out; read tells whether the page
// was read to its end. The second, in the walk's thread, looks at the page's neighbours.
int ReadPageLinks(CHtmlNode& page, const CPageOutput& out, bool& read);
void FinishPageLinks(CHtmlNode& page, bool read);

}  // namespace ts
