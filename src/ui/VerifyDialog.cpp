#include "ui/VerifyDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>

#include "ui/AppMessageBox.h"

namespace ts {
namespace {

constexpr int kMargin = 8;
constexpr int kListLeft = 7;
constexpr int kGap = 6;

QLabel* PlainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

CVerifyDialog::CVerifyDialog(const QString& title, const std::string& directory,
                             const QString& explanation, CListCtrlEx::Mode mode,
                             const QString& closing, QWidget* parent)
    : QDialog(parent),
      m_pDirLabel(PlainLabel(tr("Directory:"), this)),
      m_pDirectory(new QLineEdit(QString::fromStdString(directory), this)),
      m_pExplanation(PlainLabel(explanation, this)),
      m_pList(new CListCtrlEx(mode, this)),
      m_pClosing(closing.isEmpty() ? nullptr : PlainLabel(closing, this)),
      m_pOk(new QPushButton(tr("OK"), this)),
      m_pCancel(new QPushButton(tr("Cancel"), this)) {
    setWindowTitle(DialogCaption(title));
    setSizeGripEnabled(true);
    m_pDirectory->setReadOnly(true);
    m_pDirectory->setCursorPosition(0);
    m_pDirectory->setFocusPolicy(Qt::ClickFocus);
    m_pOk->setDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
    // The keyboard goes from the list to the buttons.
    setTabOrder(m_pList, m_pOk);
    setTabOrder(m_pOk, m_pCancel);
}

void CVerifyDialog::AddButton(QPushButton* button) {
    button->setParent(this);
    QWidget* last = m_extra.empty() ? m_pCancel : m_extra.back();
    m_extra.push_back(button);
    setTabOrder(last, button);
}

void CVerifyDialog::Measure() {
    const int rowH = std::max(m_pDirectory->sizeHint().height(), m_pDirLabel->sizeHint().height());
    m_nListTop = kMargin + rowH + kGap + m_pExplanation->sizeHint().height() + kGap;
    const int bottom = m_pClosing ? kGap + m_pClosing->sizeHint().height() + kMargin : kMargin;
    m_nVertical = m_nListTop + bottom;

    int buttonH = m_pOk->sizeHint().height();
    int buttonsH = static_cast<int>(2 + m_extra.size()) * (buttonH + kGap) + 2 * kGap;
    int textW = std::max(m_pExplanation->sizeHint().width(),
                         m_pClosing ? m_pClosing->sizeHint().width() : 0);
    setMinimumSize(std::max(kListLeft + textW + kMargin, kRightReserve + 240),
                   m_nVertical + std::max(buttonsH, 4 * fontMetrics().height()));
}

void CVerifyDialog::FinishLayout(int dluWidth, int dluHeight) {
    Measure();
    QFontMetrics fm = fontMetrics();
    QSize size(std::max(minimumWidth(), dluWidth * fm.averageCharWidth() / 4),
               std::max(minimumHeight(), dluHeight * fm.height() / 8));
    resize(size);
    // Placed now, so that the controls have their sizes before the dialog is first shown.
    Arrange(size.width(), size.height());
    SetColumnWidths(size.width() - kRightReserve);
}

void CVerifyDialog::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    Arrange(e->size().width(), e->size().height());
}

void CVerifyDialog::Arrange(int w, int h) {
    if (m_nVertical == 0) Measure();
    const int rowH = std::max(m_pDirectory->sizeHint().height(), m_pDirLabel->sizeHint().height());
    const int listW = std::max(0, w - kRightReserve);
    const int listH = std::max(0, h - m_nVertical);
    const int labelW = m_pDirLabel->sizeHint().width();
    m_pDirLabel->setGeometry(kListLeft, kMargin, labelW, rowH);
    m_pDirectory->setGeometry(kListLeft + labelW + kGap, kMargin,
                              std::max(0, kListLeft + listW - (kListLeft + labelW + kGap)), rowH);
    m_pExplanation->setGeometry(kListLeft, kMargin + rowH + kGap, w - kListLeft - kMargin,
                                m_pExplanation->sizeHint().height());
    m_pList->setGeometry(kListLeft, m_nListTop, listW, listH);
    if (m_pClosing)
        m_pClosing->setGeometry(kListLeft, m_nListTop + listH + kGap, w - kListLeft - kMargin,
                                m_pClosing->sizeHint().height());

    // The buttons' right edges 10 pixels from the right edge, at the heights they always have.
    const int buttonW = kRightReserve - kListLeft - 2 * kMargin - 2;
    const int buttonH = m_pOk->sizeHint().height();
    const int x = w - 10 - buttonW;
    int y = m_nListTop;
    for (QPushButton* b : {m_pOk, m_pCancel}) {
        b->setGeometry(x, y, buttonW, buttonH);
        y += buttonH + kGap;
    }
    y += 2 * kGap;
    for (QPushButton* b : m_extra) {
        b->setGeometry(x, y, buttonW, buttonH);
        y += buttonH + kGap;
    }
}

}  // namespace ts
