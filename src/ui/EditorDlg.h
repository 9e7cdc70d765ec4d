// The External Editor dialog: the text editor that opens reports too large for the view (or
// every report, when the user always wants it) and the file the report is written to.
#pragma once

#include <QDialog>

#include "base/EditorOptions.h"

class QCheckBox;
class QLineEdit;

namespace ts {

class CEditorDlg : public QDialog {
    Q_OBJECT
public:
    // The dialog starts from options; OK copies the controls back into them.
    CEditorDlg(EditorOptions& options, QWidget* parent = nullptr);

    QLineEdit* EditorEdit() const { return m_pEditor; }
    QLineEdit* ReportNameEdit() const { return m_pReportName; }
    QCheckBox* UseAlwaysBox() const { return m_pUseAlways; }

public slots:
    void accept() override;

private slots:
    void OnBrowseEditor();
    void OnBrowseReport();

private:
    EditorOptions& m_options;
    QLineEdit* m_pEditor;
    QLineEdit* m_pReportName;
    QCheckBox* m_pUseAlways;
};

}  // namespace ts
