// The engine side of "Verify ASCII Line End Conversions": the rows the list shows and what
// its OK button does with the rows the user unchecked.
#pragma once

#include <string>
#include <vector>

namespace ts {

class CDirNode;
class CFileNode;
class CRunContext;

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

}  // namespace ts
