// Line-end conversion of text files: marking the files whose convention differs, converting
// them safely, and converting them back on undo.
#pragma once

#include "site/Rename.h"

namespace ts {

class CFileNode;
class CTreeWriter;

// Marks a text file whose convention differs from nLineEnd; true when it is marked.
bool MarkLineEnd(CFileNode& node, int nLineEnd);
// Converts a marked file (a read-only one as readOnly says); 1 when it has the new convention.
int ConvertIfMarked(CTreeWriter& writer, CFileNode& node, int nLineEnd, ReadOnlyChoice& readOnly);
// Converts a file back to the convention the scan found (undo).
int RestoreLineEnd(CTreeWriter& writer, CFileNode& node);
// Rewrites every line end of the file as nLineEnd; 1 when the file has that convention now.
int ConvertLineEnds(CTreeWriter& writer, CFileNode& node, int nLineEnd);

}  // namespace ts
