// The table of tags and attributes that carry URLs, and the examination of one tag's
// attributes as a browser reads them: every URL attribute of the tag gives a record.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "html/HtmlNode.h"
#include "html/ResolveLink.h"

namespace ts {

class CLineCursor;

enum class AttrResult {
    Found,      // value holds the URL; the record's offsets now frame its replaceable text
    Absent,     // not this tag, no such attribute, no value or an empty one (a fragment only)
    BadFormat,  // the tag's text ends inside the attribute's value
};

// Looks for attr in a tag named tagName. text runs from the "<" to the ">" inclusive. On
// success the record's m_nStart and m_nEnd change from the tag's offsets to those of the text a
// rewrite may replace: after a scheme's ":", before a "?" or "#". value is the URL with its
// character references decoded, scheme and query included.
AttrResult FindAttribute(std::string_view text, std::string_view tagName, std::string_view attr,
                         CHtmlNode::CTag& tag, std::string& value);

// Fills a record for a URL written as raw at file offset rawStart and read as url (raw with its
// escapes decoded): m_strUrl is url up to its fragment; the offsets frame the bytes after a
// leading scheme's ":" up to the first "?" or "#" as written. False when url is only a fragment.
bool MakeLinkRecord(std::string_view raw, uint64_t rawStart, std::string_view url,
                    CHtmlNode::CTag& tag);

// What the examination of a tag found besides links.
struct CTagExam {
    int nErrors = 0;            // "bad tag format" errors
    bool bWideCharset = false;  // a meta tag declares UTF-16 or UTF-32
};

// Examines one scanned start tag: appends a record for each link found to tags, in file order,
// classified and resolved, and follows a "base" tag into base and the file's m_strBase. lines
// gives the line of each URL (the tag's line when null). Returns the number of "bad tag format"
// errors found.
int ExamineTag(CHtmlNode& file, const CHtmlNode::CTag& scanned, std::string_view text,
               CLinkBase& base, std::vector<CHtmlNode::CTag>& tags, CLineCursor* lines = nullptr,
               CTagExam* exam = nullptr);

}  // namespace ts
