#include "ui/ListCtrlEx.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/Resources.h"

namespace ts {
namespace {

constexpr int kCheckRole = Qt::UserRole + 1;  // 1 unchecked, 2 checked
constexpr int kDataRole = Qt::UserRole + 2;
constexpr int kStateSize = 16;
constexpr int kStateMargin = 3;

QRect StateRect(const QRect& row) {
    return QRect(row.left() + kStateMargin, row.top() + (row.height() - kStateSize) / 2, kStateSize,
                 kStateSize);
}

// Draws the state image at the left of the first column and the label after it; the row's
// highlight runs under both.
class CCheckDelegate : public QStyledItemDelegate {
public:
    explicit CCheckDelegate(CListCtrlEx& list) : QStyledItemDelegate(&list), m_list(list) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        if (index.column() != 0 || !m_list.HasCheckBoxes()) {
            QStyledItemDelegate::paint(p, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* w = option.widget;
        QStyle* style = w ? w->style() : nullptr;
        if (style) style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, p, w);
        QRect box = StateRect(option.rect);
        p->drawPixmap(box, m_list.StateImage(index.data(kCheckRole).toInt() == 2));
        QStyleOptionViewItem label = option;
        label.rect.setLeft(box.right() + 1 + kStateMargin);
        QStyledItemDelegate::paint(p, label, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        if (index.column() == 0 && m_list.HasCheckBoxes()) {
            size.rwidth() += kStateSize + 2 * kStateMargin;
            size.setHeight(std::max(size.height(), kStateSize + 2));
        }
        return size;
    }

private:
    CListCtrlEx& m_list;
};

}  // namespace

CListCtrlEx::CListCtrlEx(Mode mode, QWidget* parent)
    : QWidget(parent), m_mode(mode), m_pModel(new QStandardItemModel(this)) {
    EnsureResources();
    m_images[0] = QPixmap(QStringLiteral(":/res/checkbox_off.png"));
    m_images[1] = QPixmap(QStringLiteral(":/res/checkbox_on.png"));
    if (mode == Report) {
        auto* tree = new QTreeView;
        tree->setRootIsDecorated(false);
        tree->setItemsExpandable(false);
        tree->setUniformRowHeights(true);
        tree->header()->setStretchLastSection(false);
        tree->header()->setSectionsMovable(false);
        tree->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_pView = tree;
    } else {
        auto* list = new QListView;
        // Names run down and wrap into further columns, as many as the width takes.
        list->setViewMode(QListView::ListMode);
        list->setFlow(QListView::TopToBottom);
        list->setWrapping(true);
        list->setResizeMode(QListView::Adjust);
        m_pView = list;
    }
    m_pView->setModel(m_pModel);
    m_pView->setItemDelegate(new CCheckDelegate(*this));
    m_pView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pView->setTextElideMode(Qt::ElideRight);
    m_pView->installEventFilter(this);
    m_pView->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pView);
    setFocusProxy(m_pView);
}

CListCtrlEx::~CListCtrlEx() = default;

void CListCtrlEx::SetFullRowMode(bool on) {
    m_bFullRow = on;
    m_pView->setSelectionBehavior(on ? QAbstractItemView::SelectRows
                                     : QAbstractItemView::SelectItems);
    if (auto* tree = qobject_cast<QTreeView*>(m_pView)) tree->setAllColumnsShowFocus(on);
    m_pView->viewport()->update();
}

void CListCtrlEx::EnableCheckBoxes(bool on) {
    m_bCheckBoxes = on;
    m_pView->doItemsLayout();
    m_pView->viewport()->update();
}

void CListCtrlEx::InsertColumn(int column, const QString& heading, int width) {
    if (m_pModel->columnCount() <= column) m_pModel->setColumnCount(column + 1);
    m_pModel->setHeaderData(column, Qt::Horizontal, heading);
    SetColumnWidth(column, width);
}

void CListCtrlEx::SetColumnWidth(int column, int width) {
    if (auto* tree = qobject_cast<QTreeView*>(m_pView)) tree->setColumnWidth(column, width);
}

int CListCtrlEx::AddItem(const QString& text, quintptr data) {
    QList<QStandardItem*> cells;
    int columns = std::max(1, m_pModel->columnCount());
    for (int c = 0; c < columns; ++c) {
        auto* cell = new QStandardItem(c == 0 ? text : QString());
        cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        cells << cell;
    }
    cells[0]->setData(2, kCheckRole);
    cells[0]->setData(QVariant::fromValue(data), kDataRole);
    m_pModel->appendRow(cells);
    return m_pModel->rowCount() - 1;
}

void CListCtrlEx::SetItemText(int row, int column, const QString& text) {
    if (QStandardItem* cell = m_pModel->item(row, column)) cell->setText(text);
}

QString CListCtrlEx::ItemText(int row, int column) const {
    QStandardItem* cell = m_pModel->item(row, column);
    return cell ? cell->text() : QString();
}

quintptr CListCtrlEx::ItemData(int row) const {
    QStandardItem* cell = m_pModel->item(row, 0);
    return cell ? cell->data(kDataRole).value<quintptr>() : 0;
}

int CListCtrlEx::ItemCount() const {
    return m_pModel->rowCount();
}

bool CListCtrlEx::GetCheck(int row) const {
    QStandardItem* cell = m_pModel->item(row, 0);
    return cell && cell->data(kCheckRole).toInt() == 2;
}

void CListCtrlEx::SetCheck(int row, bool checked) {
    if (QStandardItem* cell = m_pModel->item(row, 0)) cell->setData(checked ? 2 : 1, kCheckRole);
}

void CListCtrlEx::ToggleCheck(int row) {
    // Anything but checked becomes checked.
    SetCheck(row, !GetCheck(row));
    emit checkToggled(row);
}

int CListCtrlEx::SelectedRow() const {
    const QModelIndexList rows = m_pView->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CListCtrlEx::SelectRow(int row) {
    QModelIndex index = m_pModel->index(row, 0);
    m_pView->setCurrentIndex(index);
    m_pView->selectionModel()->select(
        index, QItemSelectionModel::ClearAndSelect |
                   (m_bFullRow ? QItemSelectionModel::Rows : QItemSelectionModel::NoUpdate));
    m_pView->scrollTo(index);
}

QRect CListCtrlEx::CheckBoxRect(int row) const {
    return StateRect(m_pView->visualRect(m_pModel->index(row, 0)));
}

int CListCtrlEx::CheckHit(const QPoint& pos) const {
    if (!m_bCheckBoxes) return -1;
    QModelIndex index = m_pView->indexAt(pos);
    if (!index.isValid()) return -1;
    QRect box = CheckBoxRect(index.row());
    // In full-row mode the whole strip left of the label counts, not just the picture.
    if (box.contains(pos)) return index.row();
    if (m_bFullRow && index.column() == 0 && pos.x() <= box.right() + kStateMargin)
        return index.row();
    return -1;
}

bool CListCtrlEx::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pView->viewport()) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick: {
                auto* e = static_cast<QMouseEvent*>(event);
                if (e->button() != Qt::LeftButton) break;
                int row = CheckHit(e->position().toPoint());
                if (row < 0) break;
                ToggleCheck(row);
                m_bSwallowRelease = true;
                return true;
            }
            case QEvent::MouseButtonRelease:
                if (m_bSwallowRelease) {
                    m_bSwallowRelease = false;
                    return true;
                }
                break;
            default:
                break;
        }
    } else if (watched == m_pView && event->type() == QEvent::KeyPress && m_bCheckBoxes) {
        auto* e = static_cast<QKeyEvent*>(event);
        QModelIndex current = m_pView->currentIndex();
        if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier && current.isValid()) {
            ToggleCheck(current.row());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ts
