#pragma once

#include <QStyledItemDelegate>

namespace prx {

class DBGrid;

// Paints the grid's cells and builds its cell editors, both on behalf of the
// grid. Writing the edited text back is the grid's business (it must run
// the field's set-text step and be refusable), so the delegate never does.
class DBGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit DBGridDelegate(DBGrid &grid);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

protected:
    bool eventFilter(QObject *object, QEvent *event) override;

private:
    DBGrid &m_grid;
};

} // namespace prx
