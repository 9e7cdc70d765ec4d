// "Read-only File": whether a read-only file that a pass must change may be made writable.
// Each button ends the dialog at once with its code; what the code means is the caller's.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace ts {

class CReadOnlyDlg : public QDialog {
    Q_OBJECT
public:
    explicit CReadOnlyDlg(QWidget* parent = nullptr);

    // The question line, set before the dialog opens.
    void SetText(const QString& text);
    const QString& Text() const { return m_strText; }

    QPushButton* YesButton() const { return m_pYes; }
    QPushButton* YesToAllButton() const { return m_pYesToAll; }
    QPushButton* NoButton() const { return m_pNo; }
    QPushButton* NoToAllButton() const { return m_pNoToAll; }
    QLabel* TextLabel() const { return m_pText; }

public slots:
    void reject() override;

private:
    QString m_strText;
    QLabel* m_pText;
    QPushButton* m_pYes;
    QPushButton* m_pYesToAll;
    QPushButton* m_pNo;
    QPushButton* m_pNoToAll;
};

}  // namespace ts
