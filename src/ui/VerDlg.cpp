#include "ui/VerDlg.h"

#include <QAbstractItemView>
#include <QPushButton>

#include "base/RunUi.h"
#include "base/Strings.h"
#include "site/DirXpNode.h"
#include "ui/RenameDlg.h"

namespace ts {

CVerDlg::CVerDlg(CRunContext& ctx, CDirXpNode& top, int nTarget, bool bCheckBoxes, QWidget* parent)
    : CVerifyDialog(tr("Verify Filenames"), top.m_strPath,
                    tr("To change the suggested filename, select it below and click the "
                       "\"Edit\" button.\nIf you do not want to rename the file, uncheck the "
                       "check box."),
                    CListCtrlEx::Report,
                    tr("When you are done, click \"OK\" to begin renaming the files or "
                       "\"Cancel\" to abort."),
                    parent),
      m_ctx(ctx),
      m_nTarget(nTarget),
      m_rows(VerifyFilenameRows(top)),
      m_pEdit(new QPushButton(tr("&Edit"))) {
    AddButton(m_pEdit);
    connect(m_pEdit, &QPushButton::clicked, this, &CVerDlg::OnEdit);

    CListCtrlEx* list = List();
    list->SetFullRowMode(true);
    list->EnableCheckBoxes(bCheckBoxes);
    list->InsertColumn(0, QString::fromUtf8(LoadString(IDS_SUGGESTED_FILENAME)), 100);
    list->InsertColumn(1, QString::fromUtf8(LoadString(IDS_ORIGINAL_FILENAME)), 500);
    for (size_t i = 0; i < m_rows.size(); ++i) {
        int row = list->AddItem(QString::fromStdString(m_rows[i].strSuggested), i);
        list->SetItemText(row, 1, QString::fromStdString(m_rows[i].strOriginal));
    }
    // A double click on a name edits it too.
    connect(list->View(), &QAbstractItemView::doubleClicked, this, &CVerDlg::OnEdit);
    FinishLayout(352, 222);
    if (list->ItemCount() > 0) list->SelectRow(0);
    list->setFocus();
}

void CVerDlg::SetColumnWidths(int listWidth) {
    List()->SetColumnWidth(0, listWidth / 3);
    // Wider than the list: long paths scroll sideways rather than being cut.
    List()->SetColumnWidth(1, listWidth * 5);
}

void CVerDlg::OnEdit() {
    CListCtrlEx* list = List();
    int row = list->SelectedRow();
    if (row < 0) return;
    VerifyNameRow& entry = m_rows.at(list->ItemData(row));
    CRenameDlg dlg(entry.pNode, m_nTarget, false, this);
    if (dlg.exec() != RENAME_ACCEPT) return;
    RefreshSuggested(entry);
    list->SetItemText(row, 0, QString::fromStdString(entry.strSuggested));
}

void CVerDlg::accept() {
    CListCtrlEx* list = List();
    std::vector<bool> checked(m_rows.size(), true);
    for (int row = 0; row < list->ItemCount(); ++row)
        checked.at(list->ItemData(row)) = !list->HasCheckBoxes() || list->GetCheck(row);
    VerifyFilenamesOk(m_ctx, m_rows, checked);
    QDialog::accept();
}

}  // namespace ts
