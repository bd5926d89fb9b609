#include "DBGridDelegate.h"

#include "DBGrid.h"

namespace prx {

DBGridDelegate::DBGridDelegate(DBGrid &grid) : QStyledItemDelegate(&grid), m_grid(grid) {}

void DBGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    m_grid.paintCell(*painter, option.rect, index.row(), index.column());
}

QWidget *DBGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                      const QModelIndex &index) const
{
    return m_grid.createCellEditor(parent, index.column());
}

void DBGridDelegate::setEditorData(QWidget *, const QModelIndex &) const
{
    // The grid fills its editor when it opens it and keeps what the user typed.
}

void DBGridDelegate::setModelData(QWidget *, QAbstractItemModel *, const QModelIndex &) const
{
    // The grid writes the text through the field; see DBGrid::commitEditor.
}

bool DBGridDelegate::eventFilter(QObject *, QEvent *)
{
    // Keys and focus changes of the editor are the grid's to handle.
    return false;
}

} // namespace prx
