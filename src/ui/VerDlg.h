// "Verify Filenames": the planned renames in two columns (the suggested name, indented by the
// directory's depth, and the directory and original name), each with a check box; Edit changes
// a suggestion through the Rename File prompt. OK withdraws the unchecked renames.
#pragma once

#include <vector>

#include "site/VerifyLists.h"
#include "ui/VerifyDialog.h"

namespace ts {

class CDirXpNode;
class CRunContext;

class CVerDlg : public CVerifyDialog {
    Q_OBJECT
public:
    CVerDlg(CRunContext& ctx, CDirXpNode& top, int nTarget, bool bCheckBoxes,
            QWidget* parent = nullptr);

    QPushButton* EditButton() const { return m_pEdit; }
    const std::vector<VerifyNameRow>& Rows() const { return m_rows; }

public slots:
    void accept() override;
    void OnEdit();

protected:
    void SetColumnWidths(int listWidth) override;

private:
    CRunContext& m_ctx;
    int m_nTarget;
    std::vector<VerifyNameRow> m_rows;
    QPushButton* m_pEdit;
};

}  // namespace ts
