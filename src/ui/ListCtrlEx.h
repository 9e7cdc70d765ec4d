// The list of the verification dialogs: one row per planned change, each with a check box
// that withdraws the change when cleared. A click on a box (or Space on the current row)
// toggles it and does nothing else, so the selection stays where it was; rows are selected and
// highlighted over their whole width.
#pragma once

#include <QPixmap>
#include <QStringList>
#include <QWidget>

class QAbstractItemView;
class QStandardItemModel;

namespace ts {

class CListCtrlEx : public QWidget {
    Q_OBJECT
public:
    // Report: rows with columns under headings. List: names only, in as many columns as fit.
    enum Mode { Report, List };
    explicit CListCtrlEx(Mode mode, QWidget* parent = nullptr);
    ~CListCtrlEx() override;

    // Rows are selected and highlighted over their whole width.
    void SetFullRowMode(bool on);
    bool FullRowMode() const { return m_bFullRow; }
    // Shows (or hides) a check box in front of every row.
    void EnableCheckBoxes(bool on);
    bool HasCheckBoxes() const { return m_bCheckBoxes; }

    void InsertColumn(int column, const QString& heading, int width);
    void SetColumnWidth(int column, int width);
    // Adds a row at the end, checked; data is the caller's (a row number, a node).
    int AddItem(const QString& text, quintptr data);
    void SetItemText(int row, int column, const QString& text);
    QString ItemText(int row, int column) const;
    quintptr ItemData(int row) const;
    int ItemCount() const;

    bool GetCheck(int row) const;
    void SetCheck(int row, bool checked);
    void ToggleCheck(int row);

    // The selected row, or -1.
    int SelectedRow() const;
    void SelectRow(int row);

    QAbstractItemView* View() const { return m_pView; }
    // Where the check box of a row is drawn, in the view's viewport.
    QRect CheckBoxRect(int row) const;
    // The box pictures: unchecked and checked.
    const QPixmap& StateImage(bool checked) const { return m_images[checked ? 1 : 0]; }

signals:
    void checkToggled(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The row whose box the point hits, or -1.
    int CheckHit(const QPoint& pos) const;

    Mode m_mode;
    bool m_bFullRow = false;
    bool m_bCheckBoxes = false;
    bool m_bSwallowRelease = false;
    QStandardItemModel* m_pModel;
    QAbstractItemView* m_pView;
    QPixmap m_images[2];
};

}  // namespace ts
