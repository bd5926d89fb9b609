// The rows in view of a ClientDataSet: filter and its index, sort order,
// locate and bookmarks.
#include "ClientDataSet.h"

#include "DataSetError.h"
#include "Format.h"

#include <QMap>

#include <algorithm>
#include <numeric>

namespace prx {

namespace {

// Nulls come first; ties are left to the caller.
template <typename T> int compareValues(bool nullA, const T &a, bool nullB, const T &b)
{
    if (nullA || nullB)
        return int(nullB) - int(nullA);
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Text sorts without regard to letter case. Folding each text once and then
// comparing plainly is several times faster than folding inside every
// comparison; both sorting and placing a single row use this same folding.
void appendFolded(QStringView text, std::vector<char16_t> &out)
{
    for (QChar c : text)
        out.push_back(c.toCaseFolded().unicode());
}

int compareFolded(QStringView a, QStringView b)
{
    std::vector<char16_t> fa, fb;
    appendFolded(a, fa);
    appendFolded(b, fb);
    return QStringView(fa.data(), qsizetype(fa.size()))
        .compare(QStringView(fb.data(), qsizetype(fb.size())));
}

} // namespace

// ---------------------------------------------------------------- filter

bool ClientDataSet::filterActive() const
{
    return isActive() && m_filtered && !m_filterExpr.isEmpty();
}

QString ClientDataSet::filterTextOf(int row, const Field &field) const
{
    const ColumnTable &table = field.isCalculated() ? m_calc : m_table;
    const int column = field.m_column;
    if (table.isNull(row, column))
        return {};
    switch (field.type()) {
    case FieldType::String:
        return table.string(row, column);
    case FieldType::DateTime:
        return formatDateTimeMs(table.dateTimeMs(row, column));
    default:
        return field.plainText(table.value(row, column));
    }
}

// Rows are keyed by the texts their fields render, so that a date compares
// as dd/MM/yyyy, the way the screens write it into the filter.
void ClientDataSet::appendRowKey(int row, const QList<int> &fields, QString &key) const
{
    for (int fi : fields) {
        const Field &f = *m_fields[fi];
        const ColumnTable &table = f.isCalculated() ? m_calc : m_table;
        if (f.type() == FieldType::String) {
            FilterIndex::appendPart(key, table.stringView(row, f.m_column)); // empty for null
        } else if (f.type() == FieldType::DateTime) {
            const qsizetype at = FilterIndex::beginPart(key);
            if (!table.isNull(row, f.m_column))
                appendDateTimeMs(key, table.dateTimeMs(row, f.m_column));
            FilterIndex::endPart(key, at);
        } else {
            FilterIndex::appendPart(key, filterTextOf(row, f));
        }
    }
}

QString ClientDataSet::rowKey(int row, const QList<int> &fields) const
{
    QString key;
    appendRowKey(row, fields, key);
    return key;
}

ClientDataSet::ResolvedFilter ClientDataSet::resolveFilter(const FilterExpression &expr) const
{
    ResolvedFilter out;
    QMap<int, QString> wanted;
    for (const FilterExpression::Term &term : expr.terms()) {
        const Field *f = findField(term.field);
        if (!f)
            throw DataSetError(
                QStringLiteral("Filtro inválido: campo '%1' não encontrado.").arg(term.field));
        QString text = term.value;
        if (f->type() != FieldType::String && f->type() != FieldType::DateTime && !text.isEmpty())
            text = f->plainText(f->convert(text)); // "1,50" and "1.50" are the same number
        const auto it = wanted.constFind(f->index());
        if (it != wanted.constEnd() && it.value() != text)
            out.impossible = true;
        wanted.insert(f->index(), text);
    }
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        out.fields.append(it.key());
        FilterIndex::appendPart(out.key, it.value());
    }
    return out;
}

void ClientDataSet::ensureIndex(const QList<int> &fields)
{
    if (m_index.isBuilt() && m_index.fields() == fields)
        return;
    // Rows of one product come together, so most rows repeat the cells of
    // the row before: comparing what is stored spares writing their keys.
    m_index.build(
        fields, m_table.rowCount(), [&](int row, QString &key) { appendRowKey(row, fields, key); },
        [&](int row) {
            for (int fi : fields) {
                const Field &f = *m_fields[fi];
                const ColumnTable &table = f.isCalculated() ? m_calc : m_table;
                if (!table.sameCell(row, row - 1, f.m_column))
                    return false;
            }
            return true;
        });
}

bool ClientDataSet::rowMatchesFilter(int row) const
{
    return !m_activeFilter.impossible && rowKey(row, m_activeFilter.fields) == m_activeFilter.key;
}

void ClientDataSet::indexRowChanged(int row, const QString &oldKey)
{
    const QString newKey = rowKey(row, m_index.fields());
    if (newKey == oldKey)
        return;
    if (!oldKey.isEmpty())
        m_index.remove(oldKey, row);
    m_index.add(newKey, row);
}

void ClientDataSet::rebuildView()
{
    m_view.clear();
    m_hasView = false;
    m_activeFilter = {};
    if (filterActive()) {
        m_activeFilter = resolveFilter(m_filterExpr);
        m_hasView = true;
        if (!m_activeFilter.impossible) {
            ensureIndex(m_activeFilter.fields);
            m_index.rowsInto(m_activeFilter.key, m_view);
        }
    }
    if (m_sortField >= 0) {
        if (!m_hasView) {
            m_view.resize(m_table.rowCount());
            std::iota(m_view.begin(), m_view.end(), 0);
            m_hasView = true;
        }
        sortView(m_view);
    }
}

// After a post: the row leaves the view when it no longer passes the filter,
// and moves to its place in the sort order. True when the view changed.
bool ClientDataSet::placeInView(int row, int fallbackPosition)
{
    if (!m_hasView)
        return false;
    // The row being posted is the current one: no need to search the view.
    const bool atCurrent =
        m_current >= 0 && m_current < int(m_view.size()) && m_view[size_t(m_current)] == row;
    const int at = atCurrent ? m_current : viewPositionOf(row);
    if (at >= 0)
        m_view.erase(m_view.begin() + at);
    if (!filterActive() || rowMatchesFilter(row)) {
        const auto pos = m_sortField >= 0
                             ? std::upper_bound(m_view.begin(), m_view.end(), row,
                                                [this](int a, int b) { return rowLess(a, b); })
                             : std::lower_bound(m_view.begin(), m_view.end(), row);
        m_current = int(pos - m_view.begin());
        m_view.insert(pos, row);
        setEdges(false, false);
        return m_current != at;
    }
    const int count = int(m_view.size());
    m_current = count == 0 ? -1 : qMin(fallbackPosition, count - 1);
    setEdges(count == 0, count == 0);
    return true;
}

void ClientDataSet::applyFilter(const QString &text, bool filtered)
{
    const FilterExpression expr = FilterExpression::parse(text); // refuses before any change
    if (!filterActive() && !(isActive() && filtered && !expr.isEmpty())) {
        // Neither the old nor the new filter hides anything: the view stays.
        m_filterText = text;
        m_filterExpr = expr;
        m_filtered = filtered;
        return;
    }
    checkBrowseMode();

    const QString oldText = m_filterText;
    const FilterExpression oldExpr = m_filterExpr;
    const bool oldFiltered = m_filtered;
    const ResolvedFilter oldActive = m_activeFilter;
    const bool oldHasView = m_hasView;
    std::vector<int> oldView;
    oldView.swap(m_view);
    auto restore = [&] {
        m_filterText = oldText;
        m_filterExpr = oldExpr;
        m_filtered = oldFiltered;
        m_activeFilter = oldActive;
        m_hasView = oldHasView;
        m_view.swap(oldView);
    };

    m_filterText = text;
    m_filterExpr = expr;
    m_filtered = filtered;
    try {
        rebuildView();
        if (beforeScroll)
            beforeScroll(*this);
    } catch (...) {
        restore();
        throw;
    }
    const int count = recordCount();
    m_current = count > 0 ? 0 : -1;
    setEdges(true, count == 0);
    notifyLayout();
    notifyCurrent();
    if (afterScroll)
        afterScroll(*this);
}

void ClientDataSet::setFilter(const QString &text)
{
    if (text == m_filterText)
        return;
    applyFilter(text, m_filtered);
}

void ClientDataSet::setFiltered(bool filtered)
{
    if (filtered == m_filtered)
        return;
    applyFilter(m_filterText, filtered);
}

// ---------------------------------------------------------------- sort

bool ClientDataSet::rowLess(int a, int b) const
{
    const Field &f = *m_fields[m_sortField];
    const ColumnTable &t = f.isCalculated() ? m_calc : m_table;
    const int c = f.m_column;
    const bool na = t.isNull(a, c), nb = t.isNull(b, c);
    int cmp = 0;
    switch (f.type()) {
    case FieldType::String:
        cmp =
            (na || nb) ? int(nb) - int(na) : compareFolded(t.stringView(a, c), t.stringView(b, c));
        break;
    case FieldType::Float:
        cmp = compareValues(na, t.real(a, c), nb, t.real(b, c));
        break;
    case FieldType::DateTime:
        cmp = compareValues(na, t.dateTimeMs(a, c), nb, t.dateTimeMs(b, c));
        break;
    default:
        cmp = compareValues(na, t.integer(a, c), nb, t.integer(b, c));
    }
    if (cmp != 0)
        return m_sortAscending ? cmp < 0 : cmp > 0;
    return a < b; // equal values keep their natural order
}

void ClientDataSet::sortView(std::vector<int> &rows) const
{
    const Field &f = *m_fields[m_sortField];
    const ColumnTable &t = f.isCalculated() ? m_calc : m_table;
    const int c = f.m_column;
    const bool asc = m_sortAscending;
    // Keys are taken out of the columns once, so that the comparisons touch
    // one flat array instead of the table.
    auto sortByKey = [&](auto keyOf) {
        using Key = decltype(keyOf(0, 0));
        struct Entry
        {
            Key key;
            int row;
            bool null;
        };
        std::vector<Entry> entries;
        entries.reserve(rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const int r = rows[i];
            entries.push_back({t.isNull(r, c) ? Key() : keyOf(i, r), r, t.isNull(r, c)});
        }
        std::sort(entries.begin(), entries.end(), [asc](const Entry &a, const Entry &b) {
            int cmp;
            if constexpr (std::is_same_v<Key, QStringView>)
                cmp = (a.null || b.null) ? int(b.null) - int(a.null) : a.key.compare(b.key);
            else
                cmp = compareValues(a.null, a.key, b.null, b.key);
            if (cmp != 0)
                return asc ? cmp < 0 : cmp > 0;
            return a.row < b.row;
        });
        for (size_t i = 0; i < entries.size(); ++i)
            rows[i] = entries[i].row;
    };
    switch (f.type()) {
    case FieldType::String: {
        std::vector<char16_t> folded;
        std::vector<std::pair<qsizetype, qsizetype>> spans; // one per row in view
        spans.reserve(rows.size());
        for (int r : rows) {
            const QStringView text = t.stringView(r, c);
            spans.push_back({qsizetype(folded.size()), text.size()});
            appendFolded(text, folded);
        }
        sortByKey([&](size_t i, int) {
            return QStringView(folded.data() + spans[i].first, spans[i].second);
        });
        break;
    }
    case FieldType::Float:
        sortByKey([&](size_t, int r) { return t.real(r, c); });
        break;
    case FieldType::DateTime:
        sortByKey([&](size_t, int r) { return t.dateTimeMs(r, c); });
        break;
    default:
        sortByKey([&](size_t, int r) { return t.integer(r, c); });
    }
}

void ClientDataSet::sortBy(QStringView fieldName, bool ascending)
{
    requireActive();
    const Field &f = fieldByName(fieldName);
    checkBrowseMode();
    const int row = currentStorageRow();
    m_sortField = f.index();
    m_sortAscending = ascending;
    rebuildView();
    m_current = viewPositionOf(row);
    notifyLayout();
    notifyCurrent();
}

void ClientDataSet::clearSort()
{
    if (m_sortField < 0)
        return;
    requireActive();
    checkBrowseMode();
    const int row = currentStorageRow();
    m_sortField = -1;
    rebuildView();
    m_current = viewPositionOf(row);
    notifyLayout();
    notifyCurrent();
}

// ---------------------------------------------------------------- locate

bool ClientDataSet::locate(QStringView fieldNames, const QVariant &values, LocateOptions options)
{
    requireActive();
    QList<const Field *> fields;
    for (QStringView name : fieldNames.split(u';', Qt::SkipEmptyParts))
        fields.append(&fieldByName(name.trimmed()));
    const QVariantList given =
        values.typeId() == QMetaType::QVariantList ? values.toList() : QVariantList{values};
    if (fields.isEmpty() || given.size() != fields.size())
        throw DataSetError(QStringLiteral("Localizar: informe um valor para cada campo."));
    checkBrowseMode();

    const Qt::CaseSensitivity cs =
        options.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    // Converted once, not once per row.
    QVariantList wanted;
    QStringList wantedText;
    for (int i = 0; i < fields.size(); ++i) {
        const Field *f = fields[i];
        const bool text = f->type() == FieldType::String;
        wanted.append(text ? QVariant() : f->convert(given[i]));
        wantedText.append(text ? given[i].toString() : QString());
    }
    const int count = recordCount();
    for (int v = 0; v < count; ++v) {
        const int row = viewToStorage(v);
        bool match = true;
        for (int i = 0; i < fields.size() && match; ++i) {
            const Field *f = fields[i];
            const ColumnTable &t = f->isCalculated() ? m_calc : m_table;
            if (f->type() == FieldType::String) {
                const QStringView cell = t.stringView(row, f->m_column);
                const QString &want = wantedText[i];
                match =
                    options.partialKey ? cell.startsWith(want, cs) : cell.compare(want, cs) == 0;
            } else {
                match = storedValue(row, *f) == wanted[i];
            }
        }
        if (match) {
            moveTo(v);
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- bookmarks

Bookmark ClientDataSet::bookmark() const
{
    const int row = currentStorageRow();
    return row < 0 ? NoBookmark : Bookmark(rowIdOf(row));
}

bool ClientDataSet::bookmarkValid(Bookmark bookmark) const
{
    return isActive() && bookmark >= 0 && storageRowOf(quint32(bookmark)) >= 0;
}

bool ClientDataSet::gotoBookmark(Bookmark bookmark)
{
    if (!bookmarkValid(bookmark))
        return false;
    checkBrowseMode(); // posting may move rows in a sorted view
    const int row = storageRowOf(quint32(bookmark));
    const int at = viewPositionOf(row);
    if (at < 0)
        return false;
    moveTo(at);
    return currentStorageRow() == row;
}

} // namespace prx
