// The table of tags and attributes that carry URLs, and the search for one attribute in the
// text of a tag.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "html/HtmlNode.h"
#include "html/ResolveLink.h"

namespace ts {

enum class AttrResult {
    Found,      // value holds the URL; the record's offsets now frame its replaceable text
    Absent,     // not this tag, no such attribute, or an empty value (a fragment only)
    BadFormat,  // the attribute is not followed by = and a double-quoted value
};

// Looks for attr in a tag named tagName. text runs from the "<" to the ">" inclusive. On
// success the record's m_nStart and m_nEnd change from the tag's offsets to those of the text a
// rewrite may replace: after a scheme's ":", before a "#". value is the URL, scheme included.
AttrResult FindAttribute(std::string_view text, std::string_view tagName, std::string_view attr,
                         CHtmlNode::CTag& tag, std::string& value);

// Examines one scanned tag with the attribute table in its order: appends a record for each link
// found to tags (ascending by offset), classified and resolved, and follows a "base" tag into
// base and the file's m_strBase. Returns the number of "bad tag format" errors found.
int ExamineTag(CHtmlNode& file, const CHtmlNode::CTag& scanned, std::string_view text,
               CLinkBase& base, std::vector<CHtmlNode::CTag>& tags);

}  // namespace ts
