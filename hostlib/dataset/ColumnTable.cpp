#include "ColumnTable.h"

#include <QHash>

#include <bit>
#include <cmath>
#include <cstring>

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

quint64 bitsOf(double d)
{
    return std::bit_cast<quint64>(d);
}

double doubleOf(quint64 bits)
{
    return std::bit_cast<double>(bits);
}

size_t hashWord(quint64 bits)
{
    bits *= 0x9E3779B97F4A7C15ull;
    return size_t(bits ^ (bits >> 29));
}

// Long free text (names, descriptions) that is mostly distinct gains nothing
// from a dictionary and costs a hash of every write, so it takes the plain
// layout. Short codes stay in the dictionary even when the first rows are all
// distinct: rows may arrive in any order, and a code repeated over a million
// rows costs 4 bytes a cell there against 8 bytes of offsets plus its text.
constexpr quint32 MinValuesForPlain = 1024;
constexpr quint64 MinAverageLengthForPlain = 16;
// A number costs 8 bytes a cell in the plain layout and 1 or 2 in a
// dictionary. Mostly distinct values go plain once there are this many: the
// first rows of a long list may all differ even when the whole column repeats
// a few thousand prices, but past a few thousand rows that stay mostly
// distinct, hashing every cell of a column of amounts or costs costs more
// time than its codes would save memory.
constexpr quint32 MinNumbersForPlain = 8192;

// Runs f on the code vector in use, whatever its width.
template <typename C, typename F> decltype(auto) withCodes(C &c, F &&f)
{
    switch (c.codeWidth) {
    case 1:
        return f(c.codes8);
    case 2:
        return f(c.codes16);
    default:
        return f(c.codes32);
    }
}

template <typename C> quint32 codeAt(const C &c, int row)
{
    switch (c.codeWidth) {
    case 1:
        return c.codes8[row];
    case 2:
        return c.codes16[row];
    default:
        return c.codes32[row];
    }
}

template <typename C> QStringView dictionaryValue(const C &c, quint32 value)
{
    const quint32 from = c.valueStart[value];
    return QStringView(c.arena.data() + from, qsizetype(c.valueStart[value + 1] - from));
}

// Distinct values of a dictionary, text or number: only one of the two is
// in use in a column.
template <typename C> quint32 valueCount(const C &c)
{
    return quint32(c.valueStart.size() - 1 + c.numbers.size());
}

// Widens the codes so that they can hold value indices below `values`.
template <typename C> void widenFor(C &c, quint32 values)
{
    const quint8 width = values <= 0x100 ? 1 : values <= 0x10000 ? 2 : 4;
    if (width <= c.codeWidth)
        return;
    auto widen = [&c](auto &to) {
        withCodes(c, [&to](auto &from) {
            to.reserve(from.capacity()); // keeps what reserve() asked for
            to.assign(from.begin(), from.end());
            std::decay_t<decltype(from)>().swap(from);
        });
    };
    if (width == 2)
        widen(c.codes16);
    else
        widen(c.codes32);
    c.codeWidth = width;
}

template <typename C> void rehash(C &c, size_t slotCount)
{
    c.hashSlots.assign(slotCount, 0);
    const size_t mask = slotCount - 1;
    const bool numbers = !c.numbers.empty();
    for (quint32 v = 0; v < valueCount(c); ++v) {
        size_t i = (numbers ? hashWord(c.numbers[v]) : qHash(dictionaryValue(c, v))) & mask;
        while (c.hashSlots[i] != 0)
            i = (i + 1) & mask;
        c.hashSlots[i] = v + 1;
    }
}
// Which dictionary values some row still uses: remap[v] is v's index among
// those (from 1), 0 for a value no row uses. Returns how many are used.
template <typename C> quint32 markLiveValues(const C &c, int rows, std::vector<quint32> &remap)
{
    remap.assign(valueCount(c), 0);
    for (int r = 0; r < rows; ++r) {
        if (!c.nulls[r])
            remap[codeAt(c, r)] = 1;
    }
    quint32 live = 0;
    for (quint32 &m : remap) {
        if (m != 0)
            m = ++live;
    }
    return live;
}

// Points every row's code at its value's new index once the unused values
// are gone, and hashes the values kept.
template <typename C>
void recodeLiveValues(C &c, int rows, const std::vector<quint32> &remap, quint32 live)
{
    for (int r = 0; r < rows; ++r) {
        if (c.nulls[r])
            continue;
        withCodes(c, [r, &remap](auto &codes) {
            codes[r] = std::decay_t<decltype(codes[0])>(remap[codes[r]] - 1);
        });
    }
    c.lastValue = 0;
    size_t slotCount = 16;
    while (slotCount < size_t(live) * 2 + 2)
        slotCount *= 2;
    rehash(c, slotCount);
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
    if (!m_plain) {
        c.codes8.assign(m_rows, 0);
    } else if (isStringType(field.type)) {
        c.dictionary = false;
        c.start.assign(m_rows, 0);
        c.length.assign(m_rows, 0);
    } else {
        c.dictionary = false;
        c.words.assign(m_rows, 0);
    }
    m_columns.push_back(std::move(c));
    return columnCount() - 1;
}

void ColumnTable::reserve(int rows)
{
    for (int i = 0; i < columnCount(); ++i) {
        Column &c = m_columns[i];
        c.nulls.reserve(rows);
        if (c.dictionary) {
            withCodes(c, [rows](auto &codes) { codes.reserve(rows); });
        } else if (isStringType(m_fields[i].type)) {
            c.start.reserve(rows);
            c.length.reserve(rows);
        } else {
            c.words.reserve(rows);
        }
    }
}

void ColumnTable::setPlainLayout(bool plain)
{
    Q_ASSERT_X(m_rows == 0, "ColumnTable::setPlainLayout", "set before any row");
    m_plain = plain;
    for (Column &c : m_columns) {
        c = Column();
        c.dictionary = !plain;
    }
}

void ColumnTable::clear()
{
    for (Column &c : m_columns) {
        if (m_plain) {
            // The next rows take the place of these: the storage stays.
            c.nulls.clear();
            c.words.clear();
            c.arena.clear();
            c.start.clear();
            c.length.clear();
            c.garbage = 0;
        } else {
            c = Column();
        }
    }
    m_rows = 0;
}

// Adds a row of nulls to every column; `place` puts a value into a vector at
// the row's place.
template <class Place> void ColumnTable::addRowWith(Place place)
{
    for (int i = 0; i < columnCount(); ++i) {
        Column &c = m_columns[i];
        place(c.nulls, true);
        if (c.dictionary) {
            withCodes(c, [&place](auto &codes) { place(codes, 0); });
        } else if (isStringType(m_fields[i].type)) {
            place(c.start, 0);
            place(c.length, 0);
        } else {
            place(c.words, 0);
        }
    }
    ++m_rows;
}

// The hot path of every packet read: a push_back, not a general insert.
int ColumnTable::appendRow()
{
    addRowWith([](auto &v, auto value) { v.push_back(value); });
    return m_rows - 1;
}

void ColumnTable::insertRow(int at)
{
    Q_ASSERT(at >= 0 && at <= m_rows);
    addRowWith([at](auto &v, auto value) { v.insert(v.begin() + at, value); });
}

void ColumnTable::removeRow(int at)
{
    Q_ASSERT(at >= 0 && at < m_rows);
    for (int i = 0; i < columnCount(); ++i) {
        Column &c = m_columns[i];
        c.nulls.erase(c.nulls.begin() + at);
        if (c.dictionary) {
            withCodes(c, [at](auto &codes) { codes.erase(codes.begin() + at); });
        } else if (isStringType(m_fields[i].type)) {
            c.garbage += c.length[at];
            c.start.erase(c.start.begin() + at);
            c.length.erase(c.length.begin() + at);
        } else {
            c.words.erase(c.words.begin() + at);
        }
    }
    --m_rows;
}

void ColumnTable::setNull(int row, int column)
{
    Column &c = m_columns[column];
    c.nulls[row] = true;
    if (isStringType(m_fields[column].type) && !c.dictionary) {
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
    if (c.dictionary)
        return dictionaryValue(c, codeAt(c, row));
    return QStringView(c.arena.data() + c.start[row], qsizetype(c.length[row]));
}

quint64 ColumnTable::word(const Column &c, int row)
{
    return c.dictionary ? c.numbers[codeAt(c, row)] : c.words[row];
}

double ColumnTable::real(int row, int column) const
{
    const Column &c = m_columns[column];
    if (c.nulls[row])
        return 0.0;
    switch (m_fields[column].type) {
    case FieldType::Float:
        return doubleOf(word(c, row));
    case FieldType::Integer:
    case FieldType::Boolean:
        return double(qint64(word(c, row)));
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
        return qint64(doubleOf(word(c, row)));
    return isIntType(m_fields[column].type) ? qint64(word(c, row)) : 0;
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
    return qint64(word(c, row));
}

QDateTime ColumnTable::dateTime(int row, int column) const
{
    if (isNull(row, column) || m_fields[column].type != FieldType::DateTime)
        return {};
    return QDateTime::fromMSecsSinceEpoch(dateTimeMs(row, column), Qt::UTC);
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
    if (c.dictionary) {
        setDictionaryString(c, row, text);
        return;
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

void ColumnTable::setDictionaryString(Column &c, int row, QStringView text)
{
    quint32 value = c.lastValue;
    if (value >= valueCount(c) || dictionaryValue(c, value) != text) {
        if (c.hashSlots.empty())
            rehash(c, 16);
        const size_t mask = c.hashSlots.size() - 1;
        size_t i = qHash(text) & mask;
        for (;;) {
            const quint32 slot = c.hashSlots[i];
            if (slot == 0) {
                value = valueCount(c);
                widenFor(c, value + 1);
                c.arena.insert(c.arena.end(), text.utf16(), text.utf16() + text.size());
                c.valueStart.push_back(quint32(c.arena.size()));
                c.hashSlots[i] = value + 1;
                if (size_t(valueCount(c)) * 2 > c.hashSlots.size())
                    rehash(c, c.hashSlots.size() * 2);
                break;
            }
            if (dictionaryValue(c, slot - 1) == text) {
                value = slot - 1;
                break;
            }
            i = (i + 1) & mask;
        }
        c.lastValue = value;
    }
    withCodes(c,
              [row, value](auto &codes) { codes[row] = std::decay_t<decltype(codes[0])>(value); });
    c.nulls[row] = false;
    if (valueCount(c) >= c.nextReview)
        reviewDictionary(c);
}

// Values no longer used by any row are dropped; a column whose live values
// are mostly distinct moves to the plain layout, where rewrites are
// reclaimed by compaction.
void ColumnTable::reviewDictionary(Column &c)
{
    const quint32 count = valueCount(c);
    std::vector<quint32> remap;
    const quint32 live = markLiveValues(c, m_rows, remap);
    quint64 liveChars = 0;
    for (quint32 v = 0; v < count; ++v) {
        if (remap[v] != 0)
            liveChars += c.valueStart[v + 1] - c.valueStart[v];
    }
    if (live >= MinValuesForPlain && qint64(live) * 2 > m_rows &&
        liveChars >= MinAverageLengthForPlain * live) {
        makePlain(c);
        return;
    }
    if (live < count) {
        std::vector<char16_t> arena;
        std::vector<quint32> starts{0};
        starts.reserve(live + 1);
        for (quint32 v = 0; v < count; ++v) {
            if (remap[v] == 0)
                continue;
            const QStringView text = dictionaryValue(c, v);
            arena.insert(arena.end(), text.utf16(), text.utf16() + text.size());
            starts.push_back(quint32(arena.size()));
        }
        c.arena.swap(arena);
        c.valueStart.swap(starts);
        recodeLiveValues(c, m_rows, remap, live);
    }
    c.nextReview = std::max(MinValuesForPlain, live * 2);
}

void ColumnTable::makePlain(Column &c)
{
    std::vector<char16_t> arena;
    std::vector<quint32> start(m_rows, 0), length(m_rows, 0);
    for (int r = 0; r < m_rows; ++r) {
        if (c.nulls[r])
            continue;
        const QStringView text = dictionaryValue(c, codeAt(c, r));
        start[r] = quint32(arena.size());
        length[r] = quint32(text.size());
        arena.insert(arena.end(), text.utf16(), text.utf16() + text.size());
    }
    c.arena.swap(arena);
    c.start.swap(start);
    c.length.swap(length);
    c.garbage = 0;
    c.dictionary = false;
    std::vector<quint8>().swap(c.codes8);
    std::vector<quint16>().swap(c.codes16);
    std::vector<quint32>().swap(c.codes32);
    std::vector<quint32>().swap(c.hashSlots);
    std::vector<quint32>{0}.swap(c.valueStart);
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

void ColumnTable::setWord(int row, int column, quint64 bits)
{
    Column &c = m_columns[column];
    if (c.dictionary) {
        setDictionaryWord(c, row, bits);
        return;
    }
    c.words[row] = bits;
    c.nulls[row] = false;
}

void ColumnTable::setDictionaryWord(Column &c, int row, quint64 bits)
{
    quint32 value = c.lastValue;
    if (value >= c.numbers.size() || c.numbers[value] != bits) {
        if (c.hashSlots.empty())
            rehash(c, 16);
        const size_t mask = c.hashSlots.size() - 1;
        size_t i = hashWord(bits) & mask;
        for (;;) {
            const quint32 slot = c.hashSlots[i];
            if (slot == 0) {
                value = quint32(c.numbers.size());
                widenFor(c, value + 1);
                c.numbers.push_back(bits);
                c.hashSlots[i] = value + 1;
                if (c.numbers.size() * 2 > c.hashSlots.size())
                    rehash(c, c.hashSlots.size() * 2);
                break;
            }
            if (c.numbers[slot - 1] == bits) {
                value = slot - 1;
                break;
            }
            i = (i + 1) & mask;
        }
        c.lastValue = value;
    }
    withCodes(c,
              [row, value](auto &codes) { codes[row] = std::decay_t<decltype(codes[0])>(value); });
    c.nulls[row] = false;
    if (c.numbers.size() >= c.nextReview)
        reviewNumbers(c);
}

// As reviewDictionary() for text: a number column whose live values are
// mostly distinct costs less as one word per cell.
void ColumnTable::reviewNumbers(Column &c)
{
    const quint32 count = quint32(c.numbers.size());
    std::vector<quint32> remap;
    const quint32 live = markLiveValues(c, m_rows, remap);
    if (live >= MinNumbersForPlain && qint64(live) * 2 > m_rows) {
        std::vector<quint64> words(m_rows, 0);
        for (int r = 0; r < m_rows; ++r) {
            if (!c.nulls[r])
                words[r] = c.numbers[codeAt(c, r)];
        }
        c.words.swap(words);
        c.dictionary = false;
        std::vector<quint8>().swap(c.codes8);
        std::vector<quint16>().swap(c.codes16);
        std::vector<quint32>().swap(c.codes32);
        std::vector<quint32>().swap(c.hashSlots);
        std::vector<quint64>().swap(c.numbers);
        return;
    }
    if (live < count) {
        std::vector<quint64> numbers;
        numbers.reserve(live);
        for (quint32 v = 0; v < count; ++v) {
            if (remap[v] != 0)
                numbers.push_back(c.numbers[v]);
        }
        c.numbers.swap(numbers);
        recodeLiveValues(c, m_rows, remap, live);
    }
    c.nextReview = std::max(MinValuesForPlain, live * 2);
}

void ColumnTable::setReal(int row, int column, double value)
{
    switch (m_fields[column].type) {
    case FieldType::Float:
        setWord(row, column, bitsOf(value));
        break;
    case FieldType::Integer:
    case FieldType::Boolean:
        setWord(row, column, quint64(qint64(std::llround(value))));
        break;
    default:
        Q_ASSERT_X(false, "ColumnTable::setReal", "not a number column");
    }
}

void ColumnTable::setInteger(int row, int column, qint64 value)
{
    if (m_fields[column].type == FieldType::Float) {
        setWord(row, column, bitsOf(double(value)));
    } else {
        Q_ASSERT(isIntType(m_fields[column].type));
        setWord(row, column, quint64(value));
    }
}

void ColumnTable::setBoolean(int row, int column, bool value)
{
    setInteger(row, column, value ? 1 : 0);
}

void ColumnTable::setDateTimeMs(int row, int column, qint64 ms)
{
    Q_ASSERT(m_fields[column].type == FieldType::DateTime);
    setWord(row, column, quint64(ms));
}

void ColumnTable::setDateTime(int row, int column, const QDateTime &value)
{
    if (!value.isValid()) {
        setNull(row, column);
        return;
    }
    setDateTimeMs(row, column, wallClock(value).toMSecsSinceEpoch());
}

bool ColumnTable::sameCell(int rowA, int rowB, int column) const
{
    const Column &c = m_columns[column];
    const bool nullA = c.nulls[rowA];
    if (nullA != c.nulls[rowB])
        return false;
    if (nullA)
        return true;
    if (c.dictionary) // one index per distinct value
        return codeAt(c, rowA) == codeAt(c, rowB);
    if (isStringType(m_fields[column].type))
        return stringView(rowA, column) == stringView(rowB, column);
    return c.words[rowA] == c.words[rowB];
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
        total += qint64(c.words.capacity() * sizeof(quint64));
        total += qint64(c.numbers.capacity() * sizeof(quint64));
        total += qint64((c.start.capacity() + c.length.capacity()) * sizeof(quint32));
        total += qint64(c.arena.capacity() * sizeof(char16_t));
        total += qint64(c.codes8.capacity() + c.codes16.capacity() * sizeof(quint16) +
                        c.codes32.capacity() * sizeof(quint32));
        total += qint64((c.valueStart.capacity() + c.hashSlots.capacity()) * sizeof(quint32));
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
                if (ColumnTable::word(a.m_columns[c], r) != ColumnTable::word(b.m_columns[c], r))
                    return false;
            }
        }
    }
    return true;
}

} // namespace prx
