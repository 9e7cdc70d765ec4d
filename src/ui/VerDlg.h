// "Verify Filenames": the planned renames in two columns (the suggested name, indented by the
// directory's depth, and the directory and original name), each with a check box; Edit changes
// a suggestion through the Rename File prompt. The dialog only shows the list: the engine
// applies the rows left checked once it is closed with OK.
#pragma once

#include <vector>

#include "ui/VerifyDialog.h"

namespace ts {

class CVerifyNameList;

class CVerDlg : public CVerifyDialog {
    Q_OBJECT
public:
    CVerDlg(CVerifyNameList& list, bool bCheckBoxes, QWidget* parent = nullptr);

    QPushButton* EditButton() const { return m_pEdit; }
    // One flag per row of the list, in its order: still checked.
    std::vector<bool> Checked() const;

public slots:
    void OnEdit();

protected:
    void SetColumnWidths(int listWidth) override;

private:
    CVerifyNameList& m_list;
    QPushButton* m_pEdit;
};

}  // namespace ts
