#include "ui/VerDlg.h"

#include <QAbstractItemView>
#include <QPushButton>

#include "base/RunUi.h"
#include "base/Strings.h"
#include "site/VerifyLists.h"
#include "ui/RenameDlg.h"

namespace ts {

CVerDlg::CVerDlg(CVerifyNameList& list, bool bCheckBoxes, QWidget* parent)
    : CVerifyDialog(tr("Verify Filenames"), list.Directory(),
                    tr("To change the suggested filename, select it below and click the "
                       "\"Edit\" button.\nIf you do not want to rename the file, uncheck the "
                       "check box."),
                    CListCtrlEx::Report,
                    tr("When you are done, click \"OK\" to begin renaming the files or "
                       "\"Cancel\" to abort."),
                    parent),
      m_list(list),
      m_pEdit(new QPushButton(tr("&Edit"))) {
    AddButton(m_pEdit);
    connect(m_pEdit, &QPushButton::clicked, this, &CVerDlg::OnEdit);

    CListCtrlEx* view = List();
    view->SetFullRowMode(true);
    view->EnableCheckBoxes(bCheckBoxes);
    view->InsertColumn(0, QString::fromUtf8(LoadString(IDS_SUGGESTED_FILENAME)), 100);
    view->InsertColumn(1, QString::fromUtf8(LoadString(IDS_ORIGINAL_FILENAME)), 500);
    const std::vector<VerifyNameRow>& rows = m_list.Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        int row = view->AddItem(QString::fromStdString(rows[i].strSuggested), i);
        view->SetItemText(row, 1, QString::fromStdString(rows[i].strOriginal));
    }
    // A double click on a name edits it too.
    connect(view->View(), &QAbstractItemView::doubleClicked, this, &CVerDlg::OnEdit);
    FinishLayout(352, 222);
    if (view->ItemCount() > 0) view->SelectRow(0);
    view->setFocus();
}

void CVerDlg::SetColumnWidths(int listWidth) {
    List()->SetColumnWidth(0, listWidth / 3);
    // Wider than the list: long paths scroll sideways rather than being cut.
    List()->SetColumnWidth(1, listWidth * 5);
}

void CVerDlg::OnEdit() {
    CListCtrlEx* view = List();
    int row = view->SelectedRow();
    if (row < 0) return;
    size_t index = view->ItemData(row);
    CRenameDlg dlg(m_list.EditPrompt(index), this);
    if (dlg.exec() != RENAME_ACCEPT) return;
    view->SetItemText(row, 0, QString::fromStdString(m_list.Refresh(index).strSuggested));
}

std::vector<bool> CVerDlg::Checked() const {
    CListCtrlEx* view = List();
    std::vector<bool> checked(m_list.Rows().size(), true);
    for (int row = 0; row < view->ItemCount(); ++row)
        checked.at(view->ItemData(row)) = !view->HasCheckBoxes() || view->GetCheck(row);
    return checked;
}

}  // namespace ts
