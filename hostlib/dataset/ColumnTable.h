#pragma once

#include "FieldDef.h"

#include <QVariant>

#include <memory>
#include <vector>

namespace prx {

// Rows stored column by column: one typed vector per column plus a null flag
// per cell. Strings of a column share one UTF-16 arena, so a table of 100,000
// rows costs a few allocations instead of millions. This is both the content of
// a data packet and the storage of a client dataset, so a packet read from the
// wire is moved into a dataset without a copy.
class ColumnTable
{
public:
    ColumnTable() = default;
    explicit ColumnTable(QList<FieldDef> fields);

    const QList<FieldDef> &fields() const { return m_fields; }
    const FieldDef &field(int column) const { return m_fields.at(column); }
    int columnCount() const { return int(m_fields.size()); }
    int rowCount() const { return m_rows; }
    int indexOf(QStringView name) const; // case-insensitive; -1 when absent

    int addColumn(const FieldDef &field); // null for every existing row; returns its index

    // Every column in the plain layout, from the first row on: for rows that
    // are written once, read once and dropped (an answer's rows on their way
    // out), a dictionary only costs a hash and a compare per cell. clear()
    // then keeps the storage for the next rows. Set before any row.
    void setPlainLayout(bool plain);
    bool plainLayout() const { return m_plain; }

    void reserve(int rows);
    void clear(); // drops the rows, keeps the fields

    int appendRow(); // a row of nulls; returns its index
    void insertRow(int at);
    void removeRow(int at);

    bool isNull(int row, int column) const { return m_columns[column].nulls[row]; }
    void setNull(int row, int column);

    // A view into the table's own storage: it stays valid until the next
    // text written to this column (or clear()); moving the table keeps it.
    QStringView stringView(int row, int column) const;
    QString string(int row, int column) const { return stringView(row, column).toString(); }
    double real(int row, int column) const;        // Float (Integer widened)
    qint64 integer(int row, int column) const;     // Integer, Boolean
    bool boolean(int row, int column) const;       // Boolean
    qint64 dateTimeMs(int row, int column) const;  // DateTime, ms since the epoch of the wall clock
    QDateTime dateTime(int row, int column) const; // DateTime as a wall-clock QDateTime

    void setString(int row, int column, QStringView text);
    void setReal(int row, int column, double value);
    void setInteger(int row, int column, qint64 value);
    void setBoolean(int row, int column, bool value);
    void setDateTimeMs(int row, int column, qint64 ms);
    void setDateTime(int row, int column, const QDateTime &value);

    // Whether two rows hold the same value (or both null) in a column; cheap:
    // it compares what is stored, not the values' texts.
    bool sameCell(int rowA, int rowB, int column) const;

    // Slow path for generic code: a null QVariant for a null cell.
    QVariant value(int row, int column) const;
    void setValue(int row, int column, const QVariant &value); // converts to the column's type
    QVariantList rowValues(int row) const;
    void setRowValues(int row, const QVariantList &values);

    // Approximate heap use, for the memory figures of the benchmarks.
    qint64 bytesUsed() const;

    friend bool operator==(const ColumnTable &a, const ColumnTable &b);

private:
    // Every column starts as a dictionary: each cell holds the index of one
    // of the column's distinct values, in 1, 2 or 4 bytes as the number of
    // distinct values grows. Codes, flags, days, hours, dates of the period and
    // prices repeat over a million rows, so a cell costs a byte or two instead
    // of 8 bytes (a number or a date) or 8 bytes of offsets plus its characters
    // (a text). A column whose values are mostly distinct (names, bar codes,
    // amounts of a long list) turns into the plain layout: an 8-byte word per
    // cell, or an offset and a length per cell into an arena of characters.
    struct Column
    {
        std::vector<bool> nulls;
        // Numbers and date-times, plain layout: the value's bits per cell (an
        // integer, the ms of a date-time, or the bits of a double, so that
        // -0.0 and NaN come back as they went in).
        std::vector<quint64> words;
        // String, both layouts: the characters. Plain: each cell's text, dead
        // text included until compaction. Dictionary: the distinct values.
        std::vector<char16_t> arena;
        // String, plain layout
        std::vector<quint32> start; // offset into the arena
        std::vector<quint32> length;
        quint64 garbage = 0; // arena characters no longer referenced
        // Dictionary layout, any type
        bool dictionary = true;
        quint8 codeWidth = 1; // bytes per cell: which of the code vectors is in use
        std::vector<quint8> codes8;
        std::vector<quint16> codes16;
        std::vector<quint32> codes32;
        std::vector<quint32> valueStart{
            0};                         // text value i is arena[valueStart[i], valueStart[i + 1])
        std::vector<quint64> numbers;   // number value i, as in `words`
        std::vector<quint32> hashSlots; // open-addressing hash of value index + 1; 0 is empty
        quint32 lastValue = 0;          // the value written last: rows often repeat it
        quint32 nextReview = 1024; // value count at which dead and distinct values are reviewed
    };
    static quint64 word(const Column &c, int row);
    void setWord(int row, int column, quint64 bits);
    void setDictionaryWord(Column &c, int row, quint64 bits);
    void reviewNumbers(Column &c);
    template <class Place> void addRowWith(Place place);
    void compactArena(Column &c);
    void setDictionaryString(Column &c, int row, QStringView text);
    void reviewDictionary(Column &c);
    void makePlain(Column &c);
    QList<FieldDef> m_fields;
    std::vector<Column> m_columns;
    int m_rows = 0;
    bool m_plain = false;
};

using DataPacket = ColumnTable;
using DataPacketPtr = std::shared_ptr<DataPacket>;

} // namespace prx

Q_DECLARE_METATYPE(prx::DataPacketPtr)
