// A page that is a symbolic link to a file beside it ("about.html -> about.html.en", as
// content-negotiated manuals ship): the browser reads the file's bytes at the link's address,
// so a rename's link rewrite goes into that file, which the link itself must never be written
// through.
#pragma once

#include "site/Rename.h"

namespace ts {

class CFileNode;
class CHtmlNode;
class CTreeWriter;

// Called once the link page was parsed: records the file its records describe when the link
// names a plain file of its own directory that no other link page claimed already (two
// writers of one file would each rewrite it at offsets the other has changed).
void ClaimLinkedContent(CHtmlNode& page);

// The file a rewrite of the link page writes, or null when there is none it may write.
CFileNode* LinkedContentOf(const CHtmlNode& page);

// The file a rewrite of the page's links writes: the page itself, or the file a link page
// names. Null when there is none it may write: a link page without one (an error line), or a
// read-only file readOnly says to skip.
CFileNode* ContentToRewrite(CTreeWriter& writer, CHtmlNode& page, ReadOnlyChoice& readOnly);

}  // namespace ts
