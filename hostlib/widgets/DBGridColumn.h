#pragma once

#include "services/EditMask.h"

#include <QStringList>

namespace prx {

class DBGrid;
class Field;

// One column of a data grid, bound to a field by name. What is not set here
// comes from the field: the title from its label, the width from its display
// width, the alignment from its type (numbers to the right).
class DBGridColumn
{
public:
    enum class ButtonStyle
    {
        Auto,
        Ellipsis
    };

    DBGridColumn(const DBGridColumn &) = delete;
    DBGridColumn &operator=(const DBGridColumn &) = delete;

    DBGrid &grid() const { return *m_grid; }
    int index() const { return m_index; }
    const QString &fieldName() const { return m_fieldName; }
    // The bound field of the grid's dataset, or null while it has none by
    // that name (closed dataset, dynamic fields not there yet).
    Field *field() const;

    QString title() const;
    void setTitle(const QString &title);
    int width() const;
    void setWidth(int width);
    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);
    // A non-empty pick list edits the cell with a list of these texts.
    QStringList pickList() const { return m_pickList; }
    void setPickList(const QStringList &items);
    // Ellipsis shows a button in the current cell that raises the grid's
    // edit-button event.
    ButtonStyle buttonStyle() const { return m_buttonStyle; }
    void setButtonStyle(ButtonStyle style);
    Qt::Alignment alignment() const;
    void setAlignment(Qt::Alignment alignment);

    // The bound field's edit mask, parsed once.
    const EditMask &editMask() const;

private:
    friend class DBGrid;
    DBGridColumn(DBGrid *grid, int index, const QString &fieldName);
    void changed(bool layout);

    DBGrid *m_grid; // not owned: the grid owns its columns
    int m_index;
    QString m_fieldName;
    QString m_title;
    bool m_titleSet = false;
    int m_width = 0;
    bool m_readOnly = false;
    bool m_visible = true;
    QStringList m_pickList;
    ButtonStyle m_buttonStyle = ButtonStyle::Auto;
    Qt::Alignment m_alignment;
    bool m_alignmentSet = false;
    mutable int m_fieldIndex = -1; // cached position of the field in its dataset
    mutable QString m_maskText;
    mutable EditMask m_mask;
};

} // namespace prx
