// The splash window: the title picture, the program's name, what it does and its version. At
// start-up it is shown without an owner until it is clicked or its time is up; run modally it
// is the About box.
#pragma once

#include <QDialog>

class QLabel;

namespace ts {

class CBigButton;

class CSplashWnd : public QDialog {
    Q_OBJECT
public:
    // modal: the About box (closed by a click, Enter or Escape); otherwise the start-up form.
    explicit CSplashWnd(bool modal, QWidget* parent = nullptr);

    // Closes the window: the About box ends with OK, the start-up form goes away for good.
    void Dismiss();
    bool IsModal() const { return m_bModal; }
    CBigButton* Picture() const { return m_pPicture; }
    QLabel* TitleLabel() const { return m_pTitle; }

public slots:
    void reject() override;

signals:
    // The start-up form has gone.
    void dismissed();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    bool m_bModal;
    bool m_bDismissed = false;
    CBigButton* m_pPicture;
    QLabel* m_pTitle;
};

}  // namespace ts
