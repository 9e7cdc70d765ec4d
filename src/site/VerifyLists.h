// The engine side of "Verify Filenames", the list shown before entries are renamed: the rows it
// lists, the Edit of a row's name, and what its OK button does to the tree. The desktop dialog
// and the terminal show the rows and hand back the user's choices; VerifyFilenames applies them.
#pragma once

#include <string>
#include <vector>

#include "site/RenamePrompt.h"

namespace ts {

class CDirXpNode;
class CFileNode;
class CRunContext;
class CRunUi;
struct VerifyChoices;

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

// The list as a front end shows it. An edited name is the entry's new name as soon as the
// prompt accepts it, not only at OK: the checks of the next edit (unique in its directory, the
// length of the paths below a renamed directory) must see it.
class CVerifyNameList {
public:
    CVerifyNameList(CDirXpNode& top, int nTarget);

    const std::string& Directory() const { return m_strDirectory; }
    int Target() const { return m_nTarget; }
    const std::vector<VerifyNameRow>& Rows() const { return m_rows; }

    // The Rename File prompt that edits a row's name (Accept and Cancel only).
    CRenamePrompt EditPrompt(size_t row) const;
    // After the prompt accepted: the row shows the new name.
    const VerifyNameRow& Refresh(size_t row);

private:
    std::string m_strDirectory;
    int m_nTarget;
    std::vector<VerifyNameRow> m_rows;
};

// Builds the list, shows it and applies the choices; false when the user cancelled.
bool VerifyFilenames(CRunContext& ctx, CRunUi& ui, CDirXpNode& top, int nTarget);

}  // namespace ts
