#include "ui/VerAsciiDlg.h"

namespace ts {

CVerAsciiDlg::CVerAsciiDlg(const std::string& directory, const std::vector<LineEndRow>& rows,
                           QWidget* parent)
    : CVerifyDialog(tr("Verify ASCII Line End Conversions"), directory,
                    tr("Uncheck a file's checkbox if you do not want to convert its ASCII line "
                       "endings."),
                    CListCtrlEx::List, QString(), parent),
      m_nRows(rows.size()) {
    CListCtrlEx* list = List();
    list->SetFullRowMode(true);
    list->EnableCheckBoxes(true);
    for (size_t i = 0; i < rows.size(); ++i)
        list->AddItem(QString::fromStdString(rows[i].text), i);
    FinishLayout(316, 154);
    if (list->ItemCount() > 0) list->SelectRow(0);
    list->setFocus();
}

std::vector<bool> CVerAsciiDlg::Checked() const {
    CListCtrlEx* list = List();
    std::vector<bool> checked(m_nRows, true);
    for (int row = 0; row < list->ItemCount(); ++row)
        checked.at(list->ItemData(row)) = list->GetCheck(row);
    return checked;
}

}  // namespace ts
