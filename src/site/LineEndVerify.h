// The engine side of "Verify ASCII Line End Conversions": the rows the list shows and what
// its OK button does with the rows the user unchecked. The front ends only show the rows and
// hand back the user's choices; VerifyLineEnds applies them.
#pragma once

#include <string>
#include <vector>

#include "base/RunUi.h"

namespace ts {

class CDirNode;
class CFileNode;
class CRunContext;
class CRunUi;

struct LineEndRow {
    CFileNode* node = nullptr;
    std::string text;  // the path below the top directory, beginning with the separator
    bool checked = true;
};

// The files marked for conversion, in the order of the tree.
std::vector<LineEndRow> LineEndRows(CDirNode& top);

// Withdraws the unchecked rows from the conversion and lists them in the status report under
// their heading; returns 1 when at least one row stays checked, else 0.
int ApplyLineEndRows(CRunContext& ctx, const std::vector<LineEndRow>& rows);

// Lists the marked files of top, shows them and applies the choices.
VerifyAsciiResult VerifyLineEnds(CRunContext& ctx, CRunUi& ui, CDirNode& top);

}  // namespace ts
