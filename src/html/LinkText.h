// The text a local link must have after a run's renames, built from its text as written.
#pragma once

#include <string>
#include <string_view>

#include "base/LinkOptions.h"
#include "html/HtmlNode.h"

namespace ts {

// Which name an entry is known by: the one it will get (suggestions of a run that only
// validates) or the one it has on disk now.
enum class NamesOf { Suggested, OnDisk };

// The bytes that replace written (the link's replaceable text: after its scheme, before its
// query) so that it names its target. Only a component whose entry is called otherwise is
// replaced, by the name percent-encoded for the link's delimiters; every other component keeps
// its bytes, re-escaped only where a browser would not read it as itself. "." and ".." stay.
std::string NewLinkBytes(const CHtmlNode::CTag& tag, std::string_view written, NamesOf names,
                         const CLinkOptions& links);

// True when NewLinkBytes would give other bytes than written without its tabs and line ends:
// the link must be rewritten. Most links name their targets exactly as written; those are told
// apart without building a new text.
bool LinkTextChanges(const CHtmlNode::CTag& tag, std::string_view written, NamesOf names,
                     const CLinkOptions& links);

// written with only what a browser would not read as itself escaped: blanks, control
// characters, a "%" without two hex digits, "\", and what the delimiter cannot hold. Tabs and
// line ends, which a browser drops, are dropped.
std::string MinimalEscape(std::string_view written, LinkQuote quote);

// A name as a path component: its UTF-8 bytes, control characters and whatever URLs or the
// delimiter reserve as "%XY".
std::string EncodeName(std::string_view name, LinkQuote quote);

}  // namespace ts
