#include "FilterIndex.h"

#include <algorithm>

namespace prx {

qsizetype FilterIndex::beginPart(QString &key)
{
    const qsizetype at = key.size();
    key.append(QChar(0));
    key.append(QChar(0));
    return at;
}

void FilterIndex::endPart(QString &key, qsizetype at)
{
    const qsizetype n = key.size() - at - 2;
    key[at] = QChar(char16_t(n & 0xFFFF));
    key[at + 1] = QChar(char16_t((n >> 16) & 0xFFFF));
}

void FilterIndex::appendPart(QString &key, QStringView part)
{
    const qsizetype at = beginPart(key);
    key.append(part);
    endPart(key, at);
}

void FilterIndex::clear()
{
    m_buckets.clear();
    m_fields.clear();
    m_lastRow = -1;
    m_built = false;
}

// Keys are compared as stored: a tag byte tells one byte a character (every
// character below 128) from two, so that no two keys can meet.
QByteArray FilterIndex::storedKey(QStringView key)
{
    bool ascii = true;
    for (QChar c : key) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    QByteArray out;
    if (ascii) {
        out.reserve(key.size() + 1);
        out.append('a');
        for (QChar c : key)
            out.append(char(c.unicode()));
    } else {
        out.reserve(key.size() * 2 + 1);
        out.append('w');
        out.append(reinterpret_cast<const char *>(key.utf16()), key.size() * 2);
    }
    return out;
}

void FilterIndex::Bucket::list()
{
    if (listed)
        return;
    rows.resize(size_t(count));
    for (int i = 0; i < count; ++i)
        rows[size_t(i)] = first + i;
    listed = true;
}

void FilterIndex::build(const QList<int> &fields, int rowCount,
                        const std::function<void(int, QString &)> &appendKey,
                        const std::function<bool(int)> &sameAsPrevious)
{
    clear();
    m_fields = fields;
    // One key buffer for all rows: only a key seen for the first time is
    // stored in the hash. Rows come grouped by key from the server, so the
    // previous row's bucket is tried before the hash.
    QString key, previous;
    key.reserve(64);
    Bucket *bucket = nullptr;
    for (int row = 0; row < rowCount; ++row) {
        if (!bucket || !sameAsPrevious || !sameAsPrevious(row)) {
            key.resize(0);
            appendKey(row, key);
            if (!bucket || key != previous) {
                bucket = &m_buckets[storedKey(key)];
                previous = QString(key.constData(), key.size());
            }
        }
        if (!bucket->listed && bucket->count == 0) {
            bucket->first = row;
            bucket->count = 1;
        } else if (!bucket->listed && row == bucket->first + bucket->count) {
            ++bucket->count;
        } else {
            bucket->list();
            bucket->rows.push_back(row);
        }
    }
    m_lastRow = rowCount - 1;
    m_built = true;
}

void FilterIndex::rowsInto(const QString &key, std::vector<int> &out) const
{
    out.clear();
    const auto it = m_buckets.constFind(storedKey(key));
    if (it == m_buckets.constEnd())
        return;
    const Bucket &b = it.value();
    if (b.listed) {
        out.assign(b.rows.begin(), b.rows.end());
        return;
    }
    out.resize(size_t(b.count));
    for (int i = 0; i < b.count; ++i)
        out[size_t(i)] = b.first + i;
}

void FilterIndex::add(const QString &key, int row)
{
    Bucket &b = m_buckets[storedKey(key)];
    m_lastRow = std::max(m_lastRow, row);
    if (!b.listed) {
        if (b.count == 0) {
            b.first = row;
            b.count = 1;
            return;
        }
        if (row == b.first + b.count) {
            ++b.count;
            return;
        }
        if (row == b.first - 1) {
            b.first = row;
            ++b.count;
            return;
        }
        b.list();
    }
    b.rows.insert(std::lower_bound(b.rows.begin(), b.rows.end(), row), row);
}

void FilterIndex::remove(const QString &key, int row)
{
    const auto it = m_buckets.find(storedKey(key));
    if (it == m_buckets.end())
        return;
    Bucket &b = it.value();
    if (!b.listed) {
        if (row < b.first || row >= b.first + b.count)
            return;
        if (row == b.first) {
            ++b.first;
            --b.count;
        } else if (row == b.first + b.count - 1) {
            --b.count;
        } else {
            b.list();
        }
    }
    if (b.listed) {
        const auto pos = std::lower_bound(b.rows.begin(), b.rows.end(), row);
        if (pos != b.rows.end() && *pos == row)
            b.rows.erase(pos);
    }
    if (b.listed ? b.rows.empty() : b.count == 0)
        m_buckets.erase(it);
}

void FilterIndex::rowInserted(int at)
{
    if (at > m_lastRow)
        return;
    ++m_lastRow;
    for (Bucket &b : m_buckets) {
        if (!b.listed) {
            if (b.first >= at) {
                ++b.first;
                continue;
            }
            if (at >= b.first + b.count)
                continue;
            b.list(); // the new row splits the run
        }
        for (auto it = std::lower_bound(b.rows.begin(), b.rows.end(), at); it != b.rows.end(); ++it)
            ++*it;
    }
}

// The removed row is already out of every bucket.
void FilterIndex::rowRemoved(int at)
{
    if (at >= m_lastRow) {
        m_lastRow = std::min(m_lastRow, at - 1); // nothing held after it moves
        return;
    }
    --m_lastRow;
    for (Bucket &b : m_buckets) {
        if (!b.listed) {
            if (b.first > at) {
                --b.first;
            } else if (at < b.first + b.count) {
                // Not expected: the row should have left its bucket first.
                b.list();
            } else {
                continue;
            }
            if (!b.listed)
                continue;
        }
        for (auto it = std::upper_bound(b.rows.begin(), b.rows.end(), at); it != b.rows.end(); ++it)
            --*it;
    }
}

qint64 FilterIndex::bytesUsed() const
{
    qint64 total = qint64(m_buckets.capacity()) * qint64(sizeof(void *) * 2);
    for (auto it = m_buckets.cbegin(); it != m_buckets.cend(); ++it) {
        total += qint64(sizeof(QByteArray) + sizeof(Bucket) + 2 * sizeof(void *));
        total += qint64(it.key().capacity()) + 16;
        total += qint64(it.value().rows.capacity() * sizeof(int));
    }
    return total;
}

} // namespace prx
