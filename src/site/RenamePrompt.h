// What the "Rename File" prompt shows and what its Accept buttons do, for the desktop dialog
// and the terminal alike: the texts of its fields, and the check of the typed name (empty,
// not unique: a unique name is put in its place) before it becomes the entry's new name.
#pragma once

#include <string>

#include "site/FileKeyFilter.h"

namespace ts {

class CFileNode;

class CRenamePrompt {
public:
    // node may be null: the prompt then accepts anything. inPass is true when the name-check
    // pass asks, false when the Verify Filenames list edits a name.
    CRenamePrompt(CFileNode* node, int nTarget, bool bInPass);

    // "This dialog will only let you enter valid %1 filenames." with the target's name.
    std::string Message() const;
    // The entry's directory, its name, and the suggestion the editable field starts with.
    std::string Directory() const;
    std::string OriginalName() const;
    std::string InitialText() const;
    // The keystroke rules of the editable field (target and maximum length set).
    const CFileKeyFilter& Filter() const { return m_filter; }
    // "Accept All" and "No Rename" are offered only in the name-check pass.
    bool OffersPassButtons() const { return m_bInPass; }
    int Target() const { return m_nTarget; }

    // Accept or Accept All: checks the field's text. True when it was accepted: the entry's
    // new name is set (empty when the text is its current name). Otherwise message holds what
    // to tell the user, text what the field must show now, and the prompt stays open.
    bool Accept(std::string& text, std::string& message);

private:
    CFileNode* m_pNode;
    int m_nTarget;
    bool m_bInPass;
    CFileKeyFilter m_filter;
};

}  // namespace ts
