#include "ColumnTable.h"

#include <cstring>

#include <cmath>

namespace prx {

namespace {
bool isStringType(FieldType t)
{
    return t == FieldType::String;
}
bool isIntType(FieldType t)
{
    return t == FieldType::Integer || t == FieldType::Boolean || t == FieldType::DateTime;
}
} // namespace

ColumnTable::ColumnTable(QList<FieldDef> fields) : m_fields(std::move(fields))
{
    m_columns.resize(m_fields.size());
}

int ColumnTable::indexOf(QStringView name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (name.compare(m_fields[i].name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int ColumnTable::addColumn(const FieldDef &field)
{
    m_fields.append(field);
    Column c;
    c.nulls.assign(m_rows, true);
    if (isStringType(field.type)) {
        c.start.assign(m_rows, 0);
        c.length.assign(m_rows, 0);
    } else if (isIntType(field.type)) {
        c.ints.assign(m_rows, 0);
    } else {
        c.reals.assign(m_rows, 0.0);
    }
    m_columns.push_back(std::move(c));
    return columnCount() - 1;
}

void ColumnTable::reserve(int rows)
{
    for (int i = 0; i < columnCount(); ++i) {
        Column &c = m_columns[i];
        c.nulls.reserve(rows);
        const FieldType t = m_fields[i].type;
        if (isStringType(t)) {
            c.start.reserve(rows);
            c.length.reserve(rows);
        } else if (isIntType(t)) {
            c.ints.reserve(rows);
        } else {
            c.reals.reserve(rows);
        }
    }
}

void ColumnTable::clear()
{
    for (Column &c : m_columns)
        c = Column();
    m_rows = 0;
}

int ColumnTable::appendRow()
{
    insertRow(m_rows);
    return m_rows - 1;
}

void ColumnTable::insertRow(int at)
{
    Q_ASSERT(at >= 0 && at <= m_rows);
    for (int i = 0; i < columnCount(); ++i) {
        Column &c = m_columns[i];
        c.nulls.insert(c.nulls.begin() + at, true);
        const FieldType t = m_fields[i].type;
        if (isStringType(t)) {
            c.start.insert(c.start.begin() + at, 0);
            c.length.insert(c.length.begin() + at, 0);
        } else if (isIntType(t)) {
            c.ints.insert(c.ints.begin() + at, 0);
        } else {
            c.reals.insert(c.reals.begin() + at, 0.0);
        }
    }
    ++m_rows;
}

void ColumnTable::removeRow(int at)
{
    Q_ASSERT(at >= 0 && at < m_rows);
    for (int i = 0; i < columnCount(); ++i) {
        Column &c = m_columns[i];
        c.nulls.erase(c.nulls.begin() + at);
        const FieldType t = m_fields[i].type;
        if (isStringType(t)) {
            c.garbage += c.length[at];
            c.start.erase(c.start.begin() + at);
            c.length.erase(c.length.begin() + at);
        } else if (isIntType(t)) {
            c.ints.erase(c.ints.begin() + at);
        } else {
            c.reals.erase(c.reals.begin() + at);
        }
    }
    --m_rows;
}

void ColumnTable::setNull(int row, int column)
{
    Column &c = m_columns[column];
    c.nulls[row] = true;
    if (isStringType(m_fields[column].type)) {
        c.garbage += c.length[row];
        c.length[row] = 0;
    }
}

QStringView ColumnTable::stringView(int row, int column) const
{
    const Column &c = m_columns[column];
    if (c.nulls[row])
        return {};
    if (!isStringType(m_fields[column].type))
        return {};
    return QStringView(c.arena.data() + c.start[row], qsizetype(c.length[row]));
}

double ColumnTable::real(int row, int column) const
{
    const Column &c = m_columns[column];
    if (c.nulls[row])
        return 0.0;
    switch (m_fields[column].type) {
    case FieldType::Float:
        return c.reals[row];
    case FieldType::Integer:
    case FieldType::Boolean:
        return double(c.ints[row]);
    default:
        return 0.0;
    }
}

qint64 ColumnTable::integer(int row, int column) const
{
    const Column &c = m_columns[column];
    if (c.nulls[row])
        return 0;
    if (m_fields[column].type == FieldType::Float)
        return qint64(c.reals[row]);
    return isIntType(m_fields[column].type) ? c.ints[row] : 0;
}

bool ColumnTable::boolean(int row, int column) const
{
    return integer(row, column) != 0;
}

qint64 ColumnTable::dateTimeMs(int row, int column) const
{
    const Column &c = m_columns[column];
    if (c.nulls[row] || m_fields[column].type != FieldType::DateTime)
        return 0;
    return c.ints[row];
}

QDateTime ColumnTable::dateTime(int row, int column) const
{
    if (isNull(row, column) || m_fields[column].type != FieldType::DateTime)
        return {};
    return QDateTime::fromMSecsSinceEpoch(m_columns[column].ints[row], Qt::UTC);
}

void ColumnTable::setString(int row, int column, QStringView text)
{
    Column &c = m_columns[column];
    Q_ASSERT(isStringType(m_fields[column].type));
    // The text may be a view into this very arena (a value copied from
    // another row of the column); growing or compacting the arena would leave
    // it dangling, so such text is copied out first.
    QString detached;
    const char16_t *begin = c.arena.data();
    if (!text.isEmpty() && text.utf16() >= begin && text.utf16() < begin + c.arena.size()) {
        detached = text.toString();
        text = detached;
    }
    if (!c.nulls[row]) {
        c.garbage += c.length[row];
        c.length[row] = 0; // the old text is dead: compaction must not keep it
    }
    // A rewritten value goes to the end of the arena; the arena is compacted
    // once more than half of it is dead text.
    if (c.garbage > 4096 && c.garbage * 2 > c.arena.size())
        compactArena(c);
    c.start[row] = quint32(c.arena.size());
    c.length[row] = quint32(text.size());
    c.arena.insert(c.arena.end(), text.utf16(), text.utf16() + text.size());
    c.nulls[row] = false;
}

void ColumnTable::compactArena(Column &c)
{
    std::vector<char16_t> fresh;
    fresh.reserve(c.arena.size() - c.garbage);
    for (int r = 0; r < m_rows; ++r) {
        if (c.nulls[r])
            continue;
        const quint32 from = c.start[r];
        c.start[r] = quint32(fresh.size());
        fresh.insert(fresh.end(), c.arena.begin() + from, c.arena.begin() + from + c.length[r]);
    }
    c.arena.swap(fresh);
    c.garbage = 0;
}

void ColumnTable::setReal(int row, int column, double value)
{
    Column &c = m_columns[column];
    switch (m_fields[column].type) {
    case FieldType::Float:
        c.reals[row] = value;
        break;
    case FieldType::Integer:
    case FieldType::Boolean:
        c.ints[row] = qint64(std::llround(value));
        break;
    default:
        Q_ASSERT_X(false, "ColumnTable::setReal", "not a number column");
        return;
    }
    c.nulls[row] = false;
}

void ColumnTable::setInteger(int row, int column, qint64 value)
{
    Column &c = m_columns[column];
    if (m_fields[column].type == FieldType::Float) {
        c.reals[row] = double(value);
    } else {
        Q_ASSERT(isIntType(m_fields[column].type));
        c.ints[row] = value;
    }
    c.nulls[row] = false;
}

void ColumnTable::setBoolean(int row, int column, bool value)
{
    setInteger(row, column, value ? 1 : 0);
}

void ColumnTable::setDateTimeMs(int row, int column, qint64 ms)
{
    Q_ASSERT(m_fields[column].type == FieldType::DateTime);
    Column &c = m_columns[column];
    c.ints[row] = ms;
    c.nulls[row] = false;
}

void ColumnTable::setDateTime(int row, int column, const QDateTime &value)
{
    if (!value.isValid()) {
        setNull(row, column);
        return;
    }
    setDateTimeMs(row, column, wallClock(value).toMSecsSinceEpoch());
}

QVariant ColumnTable::value(int row, int column) const
{
    if (isNull(row, column))
        return {};
    switch (m_fields[column].type) {
    case FieldType::String:
        return string(row, column);
    case FieldType::Float:
        return real(row, column);
    case FieldType::DateTime:
        return dateTime(row, column);
    case FieldType::Integer:
        return integer(row, column);
    case FieldType::Boolean:
        return boolean(row, column);
    }
    return {};
}

void ColumnTable::setValue(int row, int column, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        setNull(row, column);
        return;
    }
    switch (m_fields[column].type) {
    case FieldType::String:
        setString(row, column, value.toString());
        break;
    case FieldType::Float:
        setReal(row, column, value.toDouble());
        break;
    case FieldType::DateTime:
        setDateTime(row, column, value.toDateTime());
        break;
    case FieldType::Integer:
        setInteger(row, column, value.toLongLong());
        break;
    case FieldType::Boolean:
        setBoolean(row, column, value.toBool());
        break;
    }
}

QVariantList ColumnTable::rowValues(int row) const
{
    QVariantList out;
    out.reserve(columnCount());
    for (int c = 0; c < columnCount(); ++c)
        out.append(value(row, c));
    return out;
}

void ColumnTable::setRowValues(int row, const QVariantList &values)
{
    const int n = std::min(int(values.size()), columnCount());
    for (int c = 0; c < n; ++c)
        setValue(row, c, values[c]);
}

qint64 ColumnTable::bytesUsed() const
{
    qint64 total = 0;
    for (const Column &c : m_columns) {
        total += qint64(c.nulls.capacity() / 8);
        total += qint64(c.ints.capacity() * sizeof(qint64));
        total += qint64(c.reals.capacity() * sizeof(double));
        total += qint64((c.start.capacity() + c.length.capacity()) * sizeof(quint32));
        total += qint64(c.arena.capacity() * sizeof(char16_t));
    }
    return total;
}

bool operator==(const ColumnTable &a, const ColumnTable &b)
{
    if (a.m_fields != b.m_fields || a.m_rows != b.m_rows)
        return false;
    for (int r = 0; r < a.m_rows; ++r) {
        for (int c = 0; c < a.columnCount(); ++c) {
            if (a.isNull(r, c) != b.isNull(r, c))
                return false;
            if (a.isNull(r, c))
                continue;
            switch (a.m_fields[c].type) {
            case FieldType::String:
                if (a.stringView(r, c) != b.stringView(r, c))
                    return false;
                break;
            case FieldType::Float: {
                // bitwise, so that -0.0 and NaN round trips are checked exactly
                const double x = a.real(r, c), y = b.real(r, c);
                if (std::memcmp(&x, &y, sizeof x) != 0)
                    return false;
                break;
            }
            default:
                if (a.m_columns[c].ints[r] != b.m_columns[c].ints[r])
                    return false;
            }
        }
    }
    return true;
}

} // namespace prx
