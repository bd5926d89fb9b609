#include "DBGridColumn.h"

#include "DBGrid.h"

#include "dataset/ClientDataSet.h"

#include <QFontMetrics>

namespace prx {

DBGridColumn::DBGridColumn(DBGrid *grid, int index, const QString &fieldName)
    : m_grid(grid), m_index(index), m_fieldName(fieldName)
{
}

Field *DBGridColumn::field() const
{
    ClientDataSet *ds = m_grid->dataSet();
    if (!ds || m_fieldName.isEmpty())
        return nullptr;
    // Fields are looked up by name each time the cached position no longer
    // holds it: a dataset may drop and rebuild its fields when reloaded.
    if (m_fieldIndex >= 0 && m_fieldIndex < ds->fieldCount()) {
        Field &f = ds->field(m_fieldIndex);
        if (f.name().compare(m_fieldName, Qt::CaseInsensitive) == 0)
            return &f;
    }
    Field *f = ds->findField(m_fieldName);
    m_fieldIndex = f ? f->index() : -1;
    return f;
}

QString DBGridColumn::title() const
{
    if (m_titleSet)
        return m_title;
    const Field *f = field();
    return f ? f->displayLabel() : m_fieldName;
}

void DBGridColumn::setTitle(const QString &title)
{
    m_title = title;
    m_titleSet = true;
    changed(true);
}

int DBGridColumn::width() const
{
    if (m_width > 0)
        return m_width;
    const QFontMetrics fm(m_grid->font());
    const Field *f = field();
    const int chars = f ? f->displayWidth() : 10;
    const int byData = qBound(4, chars, 50) * fm.horizontalAdvance(QLatin1Char('0')) + 8;
    const int byTitle = fm.horizontalAdvance(title()) + 12;
    return qBound(24, qMax(byData, byTitle), 420);
}

void DBGridColumn::setWidth(int width)
{
    m_width = width;
    changed(true);
}

void DBGridColumn::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    changed(false);
}

void DBGridColumn::setVisible(bool visible)
{
    m_visible = visible;
    changed(true);
}

void DBGridColumn::setPickList(const QStringList &items)
{
    m_pickList = items;
    changed(false);
}

void DBGridColumn::setButtonStyle(ButtonStyle style)
{
    m_buttonStyle = style;
    changed(false);
}

Qt::Alignment DBGridColumn::alignment() const
{
    if (m_alignmentSet)
        return m_alignment;
    const Field *f = field();
    const bool number = f && (f->type() == FieldType::Float || f->type() == FieldType::Integer);
    return number ? Qt::AlignRight : Qt::AlignLeft;
}

void DBGridColumn::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    m_alignmentSet = true;
    changed(false);
}

const EditMask &DBGridColumn::editMask() const
{
    const Field *f = field();
    const QString text = f ? f->editMask() : QString();
    if (text != m_maskText) {
        m_maskText = text;
        m_mask = EditMask(text);
    }
    return m_mask;
}

void DBGridColumn::changed(bool layout)
{
    m_grid->columnChanged(*this, layout);
}

} // namespace prx
