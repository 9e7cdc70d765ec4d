#include "ui/EditorDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/AppMessageBox.h"

namespace ts {

CEditorDlg::CEditorDlg(EditorOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setWindowTitle(DialogCaption(tr("External Editor")));
    auto* top = new QVBoxLayout(this);
    top->setSpacing(10);

    auto* intro = new QLabel(
        tr("The report may be too large to open using Tessary's internal editor (32K byte "
           "limit).  Please specify the filename for the report and an external text editor "
           "for the report."));
    intro->setWordWrap(true);
    top->addWidget(intro);

    auto* grid = new QGridLayout;
    m_pEditor = new QLineEdit(QString::fromStdString(options.strEditor));
    m_pReportName = new QLineEdit(QString::fromStdString(options.strReportName));
    auto* browseEditor = new QPushButton(tr("Browse..."));
    auto* browseReport = new QPushButton(tr("Browse..."));
    browseEditor->setAutoDefault(false);
    browseReport->setAutoDefault(false);
    auto* editorLabel = new QLabel(tr("&Text editor:"));
    auto* reportLabel = new QLabel(tr("&Report name:"));
    editorLabel->setBuddy(m_pEditor);
    reportLabel->setBuddy(m_pReportName);
    grid->addWidget(editorLabel, 0, 0);
    grid->addWidget(m_pEditor, 0, 1);
    grid->addWidget(browseEditor, 0, 2);
    grid->addWidget(reportLabel, 1, 0);
    grid->addWidget(m_pReportName, 1, 1);
    grid->addWidget(browseReport, 1, 2);
    grid->setColumnStretch(1, 1);
    top->addLayout(grid);

    m_pUseAlways = new QCheckBox(
        tr("&Always use this external editor, even when the report is less than 32K bytes"));
    m_pUseAlways->setChecked(options.bUseAlways != 0);
    top->addWidget(m_pUseAlways);

    auto* note = new QLabel(
        tr("Note: The report name always defaults to a non-existing file in the current "
           "working directory/folder.  If you choose to overwrite an existing file, close any "
           "open editor windows for that file before clicking OK below."));
    note->setWordWrap(true);
    top->addWidget(note);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CEditorDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CEditorDlg::reject);
    connect(browseEditor, &QPushButton::clicked, this, &CEditorDlg::OnBrowseEditor);
    connect(browseReport, &QPushButton::clicked, this, &CEditorDlg::OnBrowseReport);

    setMinimumWidth(520);
    resize(560, sizeHint().height());
}

void CEditorDlg::accept() {
    m_options.strEditor = m_pEditor->text().trimmed().toStdString();
    m_options.strReportName = m_pReportName->text().trimmed().toStdString();
    m_options.bUseAlways = m_pUseAlways->isChecked() ? 1 : 0;
    QDialog::accept();
}

void CEditorDlg::OnBrowseEditor() {
    QFileDialog dlg(this, DialogCaption(tr("Text Editor")));
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilter(tr("All Files (*)"));
    QFileInfo current(m_pEditor->text());
    if (current.isAbsolute()) dlg.setDirectory(current.absolutePath());
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
        m_pEditor->setText(dlg.selectedFiles().first());
}

void CEditorDlg::OnBrowseReport() {
    QFileInfo current(m_pReportName->text());
    QFileDialog dlg(this, DialogCaption(tr("Report Name")));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilter(tr("All Files (*)"));
    dlg.setDefaultSuffix(QStringLiteral("TSY"));
    // The user is warned in the dialog itself; no second question here.
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    if (!current.path().isEmpty()) dlg.setDirectory(current.absolutePath());
    dlg.selectFile(current.fileName());
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
        m_pReportName->setText(dlg.selectedFiles().first());
}

}  // namespace ts
