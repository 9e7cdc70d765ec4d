#include "ui/SplashWnd.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include "base/Strings.h"
#include "ui/BigButton.h"

namespace ts {

CSplashWnd::CSplashWnd(bool modal, QWidget* parent) : QDialog(parent), m_bModal(modal) {
    // A bordered pop-up without a caption; the start-up form stays out of the task bar.
    setWindowFlags((modal ? Qt::Dialog : Qt::SplashScreen) | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowTitle(QString::fromUtf8(kAppName));
    setAutoFillBackground(true);

    auto* top = new QVBoxLayout(this);
    top->setContentsMargins(12, 12, 12, 12);
    top->setSpacing(10);
    m_pPicture = new CBigButton;
    m_pPicture->LoadPicture(QStringLiteral(":/res/title.bmp"));
    top->addWidget(m_pPicture, 0, Qt::AlignHCenter);

    auto* group = new QGroupBox;
    auto* box = new QVBoxLayout(group);
    box->setSpacing(6);
    auto centred = [box](const QString& text) {
        auto* label = new QLabel(text);
        label->setAlignment(Qt::AlignHCenter);
        label->setWordWrap(true);
        box->addWidget(label);
        return label;
    };
    // Name, trademark sign and the tagline.
    m_pTitle = centred(QString::fromUtf8(kAppName) + QChar(0x2122) + tr(": Ready to Publish"));
    QFont titleFont(QStringLiteral("Arial"));
    titleFont.setStyleHint(QFont::SansSerif);
    titleFont.setPointSize(16);
    titleFont.setBold(true);
    m_pTitle->setFont(titleFont);
    // One line for each thing the program does.
    QString description =
        tr("Fix a Web site before upload to a server;  Create ISO 9660 filenames "
           "for CD-ROMs; Fix ASCII line ends for Dos, Mac, or Unix");
    centred(description.replace(QStringLiteral(";  "), QStringLiteral(";\n"))
                .replace(QStringLiteral("; "), QStringLiteral(";\n")));
    centred(QString::fromUtf8(LoadString(IDS_VERSION)) +
            QString::fromUtf8(LoadString(IDS_FOR_PLATFORM)));
    auto* notes = new QHBoxLayout;
    auto* built = new QLabel(tr("Built with Qt %1").arg(QString::fromLatin1(qVersion())));
    auto* hint = new QLabel(tr("Click anywhere to close"));
    for (QLabel* l : {built, hint}) {
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, QColor(0x60, 0x60, 0x60));
        l->setPalette(pal);
    }
    notes->addWidget(built);
    notes->addStretch();
    notes->addWidget(hint);
    box->addSpacing(4);
    box->addLayout(notes);
    group->setFixedWidth(m_pPicture->width());
    top->addWidget(group, 0, Qt::AlignHCenter);

    adjustSize();
    setFixedSize(sizeHint());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void CSplashWnd::Dismiss() {
    if (m_bModal) {
        accept();
        return;
    }
    if (m_bDismissed) return;
    m_bDismissed = true;
    hide();
    emit dismissed();
    deleteLater();
}

void CSplashWnd::reject() {
    if (m_bModal)
        QDialog::reject();
    else
        Dismiss();
}

void CSplashWnd::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        Dismiss();
        return;
    }
    QDialog::mousePressEvent(e);
}

void CSplashWnd::keyPressEvent(QKeyEvent* e) {
    if (m_bModal &&
        (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape)) {
        accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void CSplashWnd::paintEvent(QPaintEvent* e) {
    QDialog::paintEvent(e);
    // The border of a window without a caption.
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace ts
