// The common frame of the two verification dialogs: the directory at the top, a line of
// explanation, the list of planned changes, and the buttons in a column at the right. The
// dialog may be resized: the list keeps its place and takes the room, the buttons keep their
// heights and stay 10 pixels from the right edge.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "ui/ListCtrlEx.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace ts {

class CVerifyDialog : public QDialog {
    Q_OBJECT
public:
    // The width the list leaves to the dialog's right of it, for the button column.
    static constexpr int kRightReserve = 105;

    CListCtrlEx* List() const { return m_pList; }
    QLineEdit* DirectoryField() const { return m_pDirectory; }
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* CancelButton() const { return m_pCancel; }
    // The height the list leaves to the texts above and below it.
    int VerticalReserve() const { return m_nVertical; }

protected:
    CVerifyDialog(const QString& title, const std::string& directory, const QString& explanation,
                  CListCtrlEx::Mode mode, const QString& closing, QWidget* parent);
    // A button under OK and Cancel, set apart from them.
    void AddButton(QPushButton* button);
    // Sizes the dialog (in dialog units of its font) once the list is filled; the list's
    // columns take their widths then.
    void FinishLayout(int dluWidth, int dluHeight);
    virtual void SetColumnWidths(int listWidth) { (void)listWidth; }
    void resizeEvent(QResizeEvent* e) override;

private:
    void Measure();
    void Arrange(int w, int h);

    QLabel* m_pDirLabel;
    QLineEdit* m_pDirectory;
    QLabel* m_pExplanation;
    CListCtrlEx* m_pList;
    QLabel* m_pClosing;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
    std::vector<QPushButton*> m_extra;
    int m_nVertical = 0;
    int m_nListTop = 0;
};

}  // namespace ts
