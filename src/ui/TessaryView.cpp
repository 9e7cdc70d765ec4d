#include "ui/TessaryView.h"

#include <QFontDatabase>
#include <QFontDialog>
#include <QGuiApplication>
#include <QPrinter>
#include <QScreen>
#include <QStringDecoder>

#include "ui/AppMessageBox.h"
#include "ui/ViewFont.h"

namespace ts {

CTessaryView::CTessaryView(CViewFont& viewFont, QWidget* parent)
    : QPlainTextEdit(parent), m_viewFont(viewFont) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Reports line up paths in columns, so a fixed-pitch font serves until the user picks one.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (m_viewFont.IsChosen()) font = CViewFont::ToQFont(m_viewFont.Current());
    setFont(font);
}

void CTessaryView::SetReportText(const std::string& bytes) {
    m_strOriginal = bytes;
    m_strLineEnd = (bytes.empty() || bytes.find("\r\n") != std::string::npos) ? "\r\n" : "\n";
    // Reports are UTF-8; anything else is shown byte for byte so that nothing is lost.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    m_bLatin1 = utf8.hasError();
    if (m_bLatin1) text = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setPlainText(text);
    document()->setModified(false);
}

std::string CTessaryView::ReportBytes() const {
    if (!document()->isModified()) return m_strOriginal;
    QString text = toPlainText();
    if (m_strLineEnd != "\n") text.replace(QLatin1Char('\n'), QString::fromStdString(m_strLineEnd));
    bool latin1 = m_bLatin1;
    if (latin1)
        for (QChar c : text)
            if (c.unicode() > 0xFF) {
                latin1 = false;
                break;
            }
    QByteArray out = latin1 ? text.toLatin1() : text.toUtf8();
    return std::string(out.constData(), size_t(out.size()));
}

void CTessaryView::MarkSaved(const std::string& bytes) {
    m_strOriginal = bytes;
    document()->setModified(false);
}

void CTessaryView::OnSetFont() {
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, font(), this, DialogCaption(tr("Font")));
    if (ok) ApplyFont(chosen);
}

void CTessaryView::ApplyFont(const QFont& font) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    setFont(font);
    double dpi = 96.0;
    if (QScreen* screen = QGuiApplication::primaryScreen()) dpi = screen->logicalDotsPerInchY();
    m_viewFont.SetCurrent(CViewFont::FromQFont(font, dpi));
    QGuiApplication::restoreOverrideCursor();
}

void CTessaryView::Print(QPrinter* printer) {
    print(printer);
}

}  // namespace ts
