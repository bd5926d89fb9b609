// The data grid: painting of the cells.
#include "DBGrid.h"

#include "ToolIcons.h"

#include <QPainter>

namespace prx {

// ---------------------------------------------------------------- painting

QString DBGrid::cellText(int row, const DBGridColumn &c) const
{
    const ClientDataSet *ds = dataSet();
    const Field *f = c.field();
    if (!ds || !f || !ds->isActive())
        return {};
    try {
        const QString text = ds->displayTextAt(row, f->index());
        // Codes stored without their literals are shown the way they are typed.
        if (f->type() == FieldType::String && !f->onGetText && !c.editMask().isEmpty())
            return c.editMask().format(text);
        return text;
    } catch (...) {
        return {}; // a failing text handler must not break the painting
    }
}

QVariant DBGrid::valueAt(int row, QStringView fieldName) const
{
    const ClientDataSet *ds = dataSet();
    const Field *f = ds ? ds->findField(fieldName) : nullptr;
    return f ? ds->valueAt(row, f->index()) : QVariant();
}

QString DBGrid::displayTextAt(int row, QStringView fieldName) const
{
    const ClientDataSet *ds = dataSet();
    const Field *f = ds ? ds->findField(fieldName) : nullptr;
    return f ? ds->displayTextAt(row, f->index()) : QString();
}

QString DBGrid::editTextAt(int row, QStringView fieldName) const
{
    const ClientDataSet *ds = dataSet();
    const Field *f = ds ? ds->findField(fieldName) : nullptr;
    return f ? ds->editTextAt(row, f->index()) : QString();
}

void DBGrid::drawCellText(QPainter &painter, const QRect &rect, const QString &text,
                          Qt::Alignment alignment, int margin)
{
    Qt::Alignment vertical = alignment & Qt::AlignVertical_Mask;
    QRect area = rect.adjusted(margin, 0, -margin, 0);
    if (vertical & Qt::AlignTop)
        area.setTop(rect.top() + margin);
    else if (!vertical)
        vertical = Qt::AlignVCenter;
    painter.save();
    painter.setClipRect(rect);
    painter.drawText(
        area, int((alignment & Qt::AlignHorizontal_Mask) | vertical) | Qt::TextSingleLine, text);
    painter.restore();
}

void DBGrid::drawFocusRect(QPainter &painter, const QRect &rect)
{
    painter.save();
    QPen pen(painter.pen().color(), 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

void DBGrid::defaultDrawColumnCell(QPainter &painter, const QRect &rect, DBGridColumn &c, int row,
                                   DrawState state)
{
    const bool selected = state.testFlag(Selected);
    painter.fillRect(rect, selected ? palette().color(QPalette::Highlight) : m_color);
    painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
    drawCellText(painter, rect, cellText(row, c), c.alignment());
    if (state.testFlag(Focused))
        drawFocusRect(painter, rect);
}

void DBGrid::paintCell(QPainter &painter, const QRect &rect, int row, int columnIndex)
{
    if (columnIndex < 0 || columnIndex >= columnCount())
        return;
    DBGridColumn &c = column(columnIndex);
    const bool currentRowHere = row == currentRow();
    const bool showSelection = m_focusWithin || testOption(AlwaysShowSelection);
    DrawState state;
    if (currentRowHere && showSelection && (testOption(RowSelect) || columnIndex == m_col))
        state |= Selected;
    if (currentRowHere && columnIndex == m_col && m_focusWithin)
        state |= Focused;

    if (onDrawColumnCell) {
        painter.save();
        try {
            onDrawColumnCell(*this, painter, rect, c, row, state);
        } catch (...) {
            // Painting has nobody to tell: the cell is drawn the plain way.
            painter.restore();
            painter.save();
            defaultDrawColumnCell(painter, rect, c, row, state);
        }
        painter.restore();
    } else {
        defaultDrawColumnCell(painter, rect, c, row, state);
    }

    if (currentRowHere && columnIndex == m_col && m_focusWithin && !editorActive() &&
        c.buttonStyle() == DBGridColumn::ButtonStyle::Ellipsis) {
        const QRect button = editButtonRect(rect);
        painter.fillRect(button, palette().color(QPalette::Button));
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(button.adjusted(0, 0, -1, -1));
        toolIcon(ToolIcon::Ellipsis).paint(&painter, button);
    }
}

} // namespace prx
