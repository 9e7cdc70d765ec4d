#include "ui/RenameDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/RunUi.h"
#include "ui/AppMessageBox.h"
#include "ui/FileEdit.h"

namespace ts {

CRenameDlg::CRenameDlg(CFileNode* node, int nTarget, bool bInPass, QWidget* parent)
    : CRenameDlg(CRenamePrompt(node, nTarget, bInPass), parent) {}

CRenameDlg::CRenameDlg(const CRenamePrompt& prompt, QWidget* parent)
    : QDialog(parent), m_prompt(prompt) {
    setWindowTitle(DialogCaption(tr("Rename File")));
    auto* top = new QVBoxLayout(this);
    top->setSpacing(12);
    m_pMessage = new QLabel(QString::fromStdString(m_prompt.Message()));
    m_pMessage->setTextFormat(Qt::PlainText);
    m_pMessage->setWordWrap(true);
    top->addWidget(m_pMessage);

    m_pDirectory = new QLineEdit(QString::fromStdString(m_prompt.Directory()));
    m_pOriginal = new QLineEdit(QString::fromStdString(m_prompt.OriginalName()));
    for (QLineEdit* field : {m_pDirectory, m_pOriginal}) {
        field->setReadOnly(true);
        field->setCursorPosition(0);
    }
    m_pName = new CFileEdit;
    m_pName->SetTarget(m_prompt.Target());
    m_pName->SetMaxLength(m_prompt.Filter().MaxLength());
    SetField(m_prompt.InitialText());

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->addWidget(new QLabel(tr("Directory:")), 0, 0);
    grid->addWidget(m_pDirectory, 0, 1);
    grid->addWidget(new QLabel(tr("Original Filename:")), 1, 0);
    grid->addWidget(m_pOriginal, 1, 1);
    auto* nameLabel = new QLabel(tr("&Suggested Change:"));
    nameLabel->setBuddy(m_pName);
    grid->addWidget(nameLabel, 2, 0);
    grid->addWidget(m_pName, 2, 1);
    grid->setColumnStretch(1, 1);
    top->addLayout(grid);

    m_pAccept = new QPushButton(tr("&Accept"));
    m_pAcceptAll = new QPushButton(tr("Accept A&ll"));
    m_pNoRename = new QPushButton(tr("&No Rename"));
    m_pCancel = new QPushButton(tr("Cancel"));
    m_pAccept->setDefault(true);
    // Editing one name from the verification list offers only Accept and Cancel.
    m_pAcceptAll->setVisible(m_prompt.OffersPassButtons());
    m_pNoRename->setVisible(m_prompt.OffersPassButtons());
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton* b : {m_pAccept, m_pAcceptAll, m_pNoRename, m_pCancel})
        buttons->addWidget(b);
    top->addLayout(buttons);

    connect(m_pAccept, &QPushButton::clicked, this, [this] { OnAccept(RENAME_ACCEPT); });
    connect(m_pAcceptAll, &QPushButton::clicked, this, [this] { OnAccept(RENAME_ACCEPT_ALL); });
    connect(m_pNoRename, &QPushButton::clicked, this, [this] { done(RENAME_NO_RENAME); });
    connect(m_pCancel, &QPushButton::clicked, this, &CRenameDlg::reject);

    setMinimumWidth(fontMetrics().averageCharWidth() * 70);
}

void CRenameDlg::reject() {
    done(RENAME_CANCEL);
}

void CRenameDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Typing replaces the suggestion; End or an arrow key keeps it.
    m_pName->setFocus(Qt::OtherFocusReason);
    m_pName->selectAll();
}

std::string CRenameDlg::FieldBytes() const {
    QString text = m_pName->text();
    if (text == QString::fromStdString(m_strFieldBytes)) return m_strFieldBytes;
    return text.toStdString();
}

void CRenameDlg::SetField(const std::string& bytes) {
    m_strFieldBytes = bytes;
    m_pName->setText(QString::fromStdString(bytes));
}

void CRenameDlg::OnAccept(int result) {
    std::string text = FieldBytes();
    std::string message;
    if (m_prompt.Accept(text, message)) {
        done(result);
        return;
    }
    AppMessageBox(this, QString::fromStdString(message));
    SetField(text);
    m_pName->setFocus(Qt::OtherFocusReason);
    m_pName->selectAll();
}

}  // namespace ts
