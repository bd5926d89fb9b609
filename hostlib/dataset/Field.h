#pragma once

#include "FieldDef.h"

#include <QVariant>

#include <functional>

namespace prx {

class ClientDataSet;

// One column of a dataset as the screens see it. Its values are those of the
// dataset's current row, or of the edit buffer while the row is being edited
// or inserted, or of the row being calculated while calculated fields are
// computed, or of the row a grid is painting.
class Field
{
public:
    enum class Kind : quint8
    {
        Data,
        Calculated
    };

    // text starts empty: a handler that maps only known codes shows nothing
    // for the others.
    using GetTextHandler = std::function<void(Field &field, QString &text, bool displayText)>;
    using SetTextHandler = std::function<void(Field &field, const QString &text)>;

    Field(const Field &) = delete;
    Field &operator=(const Field &) = delete;

    ClientDataSet &dataSet() const { return *m_dataSet; }
    const QString &name() const { return m_name; }
    FieldType type() const { return m_type; }
    int size() const { return m_size; }
    Kind kind() const { return m_kind; }
    bool isCalculated() const { return m_kind == Kind::Calculated; }
    int index() const { return m_index; } // position among the dataset's fields
    FieldDef def() const { return {m_name, m_type, m_size}; }

    QString displayLabel() const { return m_displayLabel.isEmpty() ? m_name : m_displayLabel; }
    void setDisplayLabel(const QString &label) { m_displayLabel = label; }
    QString displayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString &format) { m_displayFormat = format; }
    QString editFormat() const { return m_editFormat; }
    void setEditFormat(const QString &format) { m_editFormat = format; }
    QString editMask() const { return m_editMask; } // the widgets interpret it
    void setEditMask(const QString &mask) { m_editMask = mask; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    bool isReadOnly() const { return m_readOnly; } // honoured by the widgets
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    int displayWidth() const;
    void setDisplayWidth(int width) { m_displayWidth = width; }

    GetTextHandler onGetText;
    SetTextHandler onSetText;

    bool isNull() const;
    QVariant value() const; // a null QVariant for a null value
    QString asString() const;
    double asFloat() const;
    qint64 asInteger() const;
    bool asBoolean() const;
    QDateTime asDateTime() const;

    // Throw DataSetError outside edit and insert, and for values the field's
    // type cannot take.
    void setValue(const QVariant &value);
    void setAsString(const QString &text);
    void setAsFloat(double value);
    void setAsInteger(qint64 value);
    void setAsDateTime(const QDateTime &value);
    void clear();

    QString displayText() const;
    QString editText() const;
    void setText(const QString &text);

    // The value converted to this field's type (a null QVariant for null or
    // empty non-text input); throws DataSetError when it cannot be.
    QVariant convert(const QVariant &value) const;
    // The text of a value of this field's type, without formats or handlers.
    QString plainText(const QVariant &value) const;

private:
    friend class ClientDataSet;
    Field(ClientDataSet *dataSet, const QString &name, FieldType type, int size, Kind kind,
          int index);

    QString shownText(bool display) const;
    QString formattedText(bool display) const;

    ClientDataSet *m_dataSet; // not owned: the dataset owns its fields
    QString m_name;
    FieldType m_type;
    int m_size;
    Kind m_kind;
    int m_index;
    int m_column = -1; // column in the dataset's storage or calculated cache
    QString m_displayLabel;
    QString m_displayFormat;
    QString m_editFormat;
    QString m_editMask;
    int m_tag = 0;
    bool m_visible = true;
    bool m_readOnly = false;
    int m_displayWidth = 0;
};

} // namespace prx
