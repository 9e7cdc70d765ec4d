#include "ui/VerAsciiDlg.h"

#include "base/RunUi.h"
#include "site/DirNode.h"

namespace ts {

CVerAsciiDlg::CVerAsciiDlg(CRunContext& ctx, CDirNode& top, QWidget* parent)
    : CVerifyDialog(tr("Verify ASCII Line End Conversions"), top.m_strPath,
                    tr("Uncheck a file's checkbox if you do not want to convert its ASCII line "
                       "endings."),
                    CListCtrlEx::List, QString(), parent),
      m_ctx(ctx),
      m_rows(LineEndRows(top)) {
    CListCtrlEx* list = List();
    list->SetFullRowMode(true);
    list->EnableCheckBoxes(true);
    for (size_t i = 0; i < m_rows.size(); ++i)
        list->AddItem(QString::fromStdString(m_rows[i].text), i);
    FinishLayout(316, 154);
    if (list->ItemCount() > 0) list->SelectRow(0);
    list->setFocus();
}

void CVerAsciiDlg::accept() {
    CListCtrlEx* list = List();
    for (int row = 0; row < list->ItemCount(); ++row)
        m_rows.at(list->ItemData(row)).checked = list->GetCheck(row);
    done(ApplyLineEndRows(m_ctx, m_rows) > 0 ? VERIFY_ASCII_SOME : VERIFY_ASCII_NONE);
}

void CVerAsciiDlg::reject() {
    done(VERIFY_ASCII_CANCEL);
}

}  // namespace ts
