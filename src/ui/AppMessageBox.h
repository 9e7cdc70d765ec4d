// Message boxes of the desktop program: the application's name as caption and the warning
// icon unless the caller names another.
#pragma once

#include <QMessageBox>
#include <QString>

namespace ts {

// style takes the MB_ values of the run interface; returns ID_OK or ID_CANCEL.
int AppMessageBox(QWidget* parent, const QString& text, int style = 0);

// A question with the given buttons; returns the button pressed.
QMessageBox::StandardButton AppQuestion(QWidget* parent, const QString& text,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton);

// The caption of every dialog: the application's name, ": " and the dialog's title.
QString DialogCaption(const QString& title);

}  // namespace ts
