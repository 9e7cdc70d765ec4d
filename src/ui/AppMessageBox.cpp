#include "ui/AppMessageBox.h"

#include "base/RunUi.h"
#include "base/Strings.h"

namespace ts {

int AppMessageBox(QWidget* parent, const QString& text, int style) {
    QMessageBox::Icon icon = QMessageBox::Warning;
    switch (style & 0xF) {
        case MB_ICON_INFORMATION:
            icon = QMessageBox::Information;
            break;
        case MB_ICON_ERROR:
            icon = QMessageBox::Critical;
            break;
        default:
            break;
    }
    bool okCancel = (style & MB_OKCANCEL) != 0;
    QMessageBox box(icon, QString::fromUtf8(kAppName), text,
                    okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? ID_OK : ID_CANCEL;
}

QMessageBox::StandardButton AppQuestion(QWidget* parent, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kAppName), text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString DialogCaption(const QString& title) {
    return QString::fromUtf8(kAppName) + QStringLiteral(": ") + title;
}

}  // namespace ts
