#include "ui/ProgDlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "ui/AppMessageBox.h"

namespace ts {

int CProgDlg::s_nPauseMs = 500;

namespace {

constexpr int kEventIntervalMs = 10;

}  // namespace

// A one-line text field that shortens long paths in the middle instead of clipping them, so
// both the start and the file name stay readable.
class CElidedLabel : public QFrame {
public:
    CElidedLabel() {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setMinimumHeight(fontMetrics().height() + 6);
    }
    void SetFullText(const QString& text) {
        if (text == m_full) return;
        m_full = text;
        setToolTip(text);
        update();
    }
    const QString& FullText() const { return m_full; }

protected:
    void paintEvent(QPaintEvent* e) override {
        QFrame::paintEvent(e);
        QPainter p(this);
        QRect r = contentsRect().adjusted(3, 0, -3, 0);
        p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft,
                   fontMetrics().elidedText(m_full, Qt::ElideMiddle, r.width()));
    }

private:
    QString m_full;
};

CProgDlg::CProgDlg(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    m_pFile = new CElidedLabel;
    m_pDirectory = new CElidedLabel;
    m_pBar = new QProgressBar;
    m_pBar->setTextVisible(false);
    m_pBar->setFocusPolicy(Qt::StrongFocus);
    m_pCancel = new QPushButton(tr("Cancel"));
    m_pCancel->setAutoDefault(false);
    grid->addWidget(new QLabel(tr("File:")), 0, 0);
    grid->addWidget(m_pFile, 0, 1, 1, 2);
    grid->addWidget(new QLabel(tr("Directory:")), 1, 0);
    grid->addWidget(m_pDirectory, 1, 1, 1, 2);
    grid->addWidget(m_pBar, 2, 0, 1, 2);
    grid->addWidget(m_pCancel, 2, 2);
    grid->setColumnStretch(1, 1);
    connect(m_pCancel, &QPushButton::clicked, this, &CProgDlg::reject);
    // Placeholders until the first Reset.
    m_pFile->SetFullText(QStringLiteral("Reasonably Long Name"));
    m_pDirectory->SetFullText(QStringLiteral("/Somewhat/Sizable/Directory"));
    resize(560, sizeHint().height());
}

void CProgDlg::Reset(int low, int high, int pos, int step) {
    m_nCancelled = 0;
    m_sinceEvents.invalidate();
    m_pFile->SetFullText(QString());
    m_pDirectory->SetFullText(QString());
    m_pBar->setFocus();
    // A range of nothing (the scan does not count beforehand) shows a busy bar.
    m_pBar->setRange(low, high);
    m_pBar->setValue(pos);
    m_nStep = step;
}

void CProgDlg::SetFile(const QString& path) {
    m_pFile->SetFullText(path);
    if (m_pBar->maximum() > m_pBar->minimum())
        m_pBar->setValue(std::min(m_pBar->value() + m_nStep, m_pBar->maximum()));
}

int CProgDlg::SetDirectory(const QString& path) {
    m_pDirectory->SetFullText(path);
    // Events run at most every few milliseconds: often enough for Cancel and painting to
    // feel immediate, rarely enough that repainting never dominates a walk of many files.
    if (!m_sinceEvents.isValid() || m_sinceEvents.elapsed() >= kEventIntervalMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        m_sinceEvents.start();
    }
    return m_nCancelled;
}

void CProgDlg::ShowWithCaption(const QString& progressText) {
    // The caption is made afresh from the pass's text for every showing, so the name is
    // never put in front twice.
    setWindowTitle(DialogCaption(progressText));
    if (!isVisible()) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
        show();
    }
    raise();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CProgDlg::Pause() {
    WaitWithEvents(s_nPauseMs);
}

QString CProgDlg::FileText() const {
    return m_pFile->FullText();
}
QString CProgDlg::DirectoryText() const {
    return m_pDirectory->FullText();
}

void CProgDlg::reject() {
    m_nCancelled = 1;
    hide();
}

void CProgDlg::closeEvent(QCloseEvent* e) {
    e->ignore();
    reject();
}

void WaitWithEvents(int ms) {
    if (ms <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace ts
