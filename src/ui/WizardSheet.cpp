#include "ui/WizardSheet.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/Strings.h"
#include "ui/AppMessageBox.h"
#include "ui/BigButton.h"
#include "ui/WizardPages.h"

namespace ts {

CWizardPage::CWizardPage(CWizardSheet& sheet, const QString& title, int buttons)
    : m_sheet(sheet),
      m_strTitle(title),
      m_strCaption(DialogCaption(title)),
      m_nButtons(buttons),
      m_picture(new CBigButton),
      m_pBody(new QVBoxLayout) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    auto* left = new QVBoxLayout;
    left->addWidget(m_picture);
    left->addStretch(1);
    row->addLayout(left);
    m_pBody->setContentsMargins(0, 0, 0, 0);
    m_pBody->setSpacing(8);
    row->addLayout(m_pBody, 1);
    // The picture takes its place before it is loaded, so that every page keeps its size.
    m_picture->setFixedSize(108, 158);
}

PageValues& CWizardPage::Values() const {
    return m_sheet.Values();
}

void CWizardPage::Activate() {
    m_sheet.SetWizardButtons(m_nButtons);
    if (!m_bPictureAttached) {
        m_picture->LoadPicture(QStringLiteral(":/res/wizard.bmp"));
        m_bPictureAttached = true;
    }
    for (auto& [label, id] : m_appTexts)
        label->setText(QString::fromStdString(FormatMessage(id, kAppName)));
    OnSetActive();
    DoDataExchange(false);
}

QLabel* CWizardPage::AddText(const QString& text) {
    auto* label = new QLabel(text);
    // Texts such as "<CR><LF>" are not markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    m_pBody->addWidget(label);
    return label;
}

QLabel* CWizardPage::AddAppText(int id) {
    QLabel* label = AddText(QString::fromStdString(FormatMessage(id, kAppName)));
    m_appTexts.emplace_back(label, id);
    return label;
}

int CWizardPage::Box(const std::string& text, int style) const {
    return AppMessageBox(&m_sheet, QString::fromStdString(text), style);
}

CWizardSheet::CWizardSheet(CFileSystem& fs, QWidget* parent)
    : QDialog(parent), m_fs(fs), m_pStack(new QStackedWidget) {
    setWindowTitle(QString::fromUtf8(kAppName));
    auto* top = new QVBoxLayout(this);
    top->setSpacing(10);
    top->addWidget(m_pStack);
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    top->addWidget(line);

    m_pBack = new QPushButton(tr("< &Back"));
    m_pNext = new QPushButton(tr("&Next >"));
    m_pFinish = new QPushButton(tr("&Finish"));
    m_pCancel = new QPushButton(tr("Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->setSpacing(0);
    buttons->addWidget(m_pBack);
    buttons->addWidget(m_pNext);
    buttons->addWidget(m_pFinish);
    buttons->addSpacing(10);
    buttons->addWidget(m_pCancel);
    top->addLayout(buttons);
    connect(m_pBack, &QPushButton::clicked, this, &CWizardSheet::Back);
    connect(m_pNext, &QPushButton::clicked, this, &CWizardSheet::Next);
    connect(m_pFinish, &QPushButton::clicked, this, &CWizardSheet::Finish);
    connect(m_pCancel, &QPushButton::clicked, this, &CWizardSheet::reject);

    for (CWizardPage* page : MakeWizardPages(*this)) {
        m_pages.push_back(page);
        m_pStack->addWidget(page);
    }

    // All pages share one size: wide enough for comfortable lines, high enough for the
    // longest page at that width.
    int width = 108 + 14 + fontMetrics().averageCharWidth() * 76;
    for (CWizardPage* page : m_pages)
        width = std::max(width, page->layout()->minimumSize().width());
    int height = 170 * fontMetrics().height() / 8;
    for (CWizardPage* page : m_pages)
        height = std::max(height, page->layout()->totalHeightForWidth(width));
    m_pStack->setFixedSize(width, height);
    setFixedSize(sizeHint());
}

CWizardSheet::~CWizardSheet() = default;

bool CWizardSheet::Run(RunSettings& settings) {
    LoadPages(m_values, settings);
    SetActivePage(PAGE_INTRO);
    if (exec() != QDialog::Accepted) return false;
    ReadPages(m_values, settings);
    return true;
}

RunSettings CWizardSheet::CurrentChoices() const {
    RunSettings s;
    ReadPages(m_values, s);
    return s;
}

void CWizardSheet::SetActivePage(int index) {
    m_nCurrent = index;
    CWizardPage* page = CurrentPage();
    m_pStack->setCurrentWidget(page);
    setWindowTitle(page->Caption());
    page->Activate();
    // The keyboard starts on the page's first control.
    for (QWidget* w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        if (!page->isAncestorOf(w)) break;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(page)) {
            w->setFocus(Qt::TabFocusReason);
            break;
        }
    }
}

void CWizardSheet::SetWizardButtons(int flags) {
    m_pBack->setEnabled((flags & PSWIZB_BACK) != 0);
    bool finish = (flags & PSWIZB_FINISH) != 0;
    m_pNext->setVisible(!finish);
    m_pNext->setEnabled((flags & PSWIZB_NEXT) != 0);
    m_pFinish->setVisible(finish);
    (finish ? m_pFinish : m_pNext)->setDefault(true);
}

void CWizardSheet::Back() {
    if (!m_pBack->isEnabled() || m_nCurrent <= 0) return;
    Move(CurrentPage()->OnWizardBack(), -1);
}

void CWizardSheet::Next() {
    if (!m_pNext->isEnabled() || !m_pNext->isVisible()) return;
    Move(CurrentPage()->OnWizardNext(), +1);
}

void CWizardSheet::Move(int target, int step) {
    if (target == CWizardPage::kStay) return;
    if (target == CWizardPage::kFollowing) target = m_nCurrent + step;
    if (target < 0 || target >= PageCount()) return;
    if (!CurrentPage()->KillActive()) return;
    SetActivePage(target);
}

void CWizardSheet::Finish() {
    if (!m_pFinish->isVisible() || !CurrentPage()->KillActive()) return;
    accept();
}

}  // namespace ts
