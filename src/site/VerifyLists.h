// The engine side of the verification lists shown before files are changed: the rows they
// list and what their OK button does to the tree. The desktop dialogs and the terminal show
// the rows and hand back which ones the user left checked.
#pragma once

#include <string>
#include <vector>

namespace ts {

class CDirXpNode;
class CFileNode;
class CRunContext;

// One row of "Verify Filenames".
struct VerifyNameRow {
    CFileNode* pNode = nullptr;
    std::string strIndent;     // three spaces per directory level below the top
    std::string strSuggested;  // column 0: the indentation and the new name
    std::string strOriginal;   // column 1: the directory below the top ("/", "/sub/") and the
                               // current name
};

// The entries of the tree that have a new name, in pre-order.
std::vector<VerifyNameRow> VerifyFilenameRows(CDirXpNode& top);

// Column 0 again after the row's name was edited: the same indentation, the new name.
void RefreshSuggested(VerifyNameRow& row);

// OK in "Verify Filenames": every unchecked row keeps its name and is listed under the heading
// of entries not renamed by user request (written once per run).
void VerifyFilenamesOk(CRunContext& ctx, const std::vector<VerifyNameRow>& rows,
                       const std::vector<bool>& checked);

}  // namespace ts
