#include "ui/ReadOnlyDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/RunUi.h"
#include "ui/AppMessageBox.h"

namespace ts {

CReadOnlyDlg::CReadOnlyDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(DialogCaption(tr("Read-only File")));
    auto* top = new QVBoxLayout(this);
    top->setSpacing(12);
    m_pText = new QLabel;
    m_pText->setTextFormat(Qt::PlainText);
    m_pText->setWordWrap(true);
    m_pText->setAlignment(Qt::AlignCenter);
    top->addWidget(m_pText);
    auto* question = new QLabel(tr("Do you want to change its attributes to make it writable?"));
    question->setAlignment(Qt::AlignCenter);
    top->addWidget(question);

    m_pYes = new QPushButton(tr("&Yes"));
    m_pYesToAll = new QPushButton(tr("Yes to &All"));
    m_pNo = new QPushButton(tr("&No"));
    m_pNoToAll = new QPushButton(tr("No to A&ll"));
    m_pYes->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const std::pair<QPushButton*, int> answers[] = {{m_pYes, READONLY_YES},
                                                    {m_pYesToAll, READONLY_YES_TO_ALL},
                                                    {m_pNo, READONLY_NO},
                                                    {m_pNoToAll, READONLY_NO_TO_ALL}};
    for (auto [button, code] : answers) {
        buttons->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, code] { done(code); });
    }
    buttons->addStretch(1);
    top->addLayout(buttons);
    setFixedWidth(fontMetrics().averageCharWidth() * 86);
}

void CReadOnlyDlg::SetText(const QString& text) {
    m_strText = text;
    // A long path has no spaces to break at: let it break after each separator, and never
    // at a hyphen (not in "read-only").
    QString shown = text;
    shown.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    shown.replace(QLatin1Char('-'), QChar(0x2011));
    m_pText->setText(shown);
}

void CReadOnlyDlg::reject() {
    done(READONLY_CLOSED);
}

}  // namespace ts
